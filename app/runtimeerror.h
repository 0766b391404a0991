#pragma once

#include <QString>
#include <exception>

// No handler catches errors: an error that escapes one is a run-time error. It is
// shown in a message box and then the program ends with status 1.
void endWithRunTimeError(std::exception_ptr error);

// The message the user reads for an error, in Japanese.
QString runTimeErrorMessage(std::exception_ptr error);

// A handler to connect to a signal: an error escaping it ends the program as above
// before it could unwind through the toolkit's code, which is not built for that.
template<typename Handler>
auto guarded(Handler handler)
{
    return [handler] {
        try {
            handler();
        } catch (...) {
            endWithRunTimeError(std::current_exception());
        }
    };
}
