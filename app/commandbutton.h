#pragma once

#include <QPushButton>

// A command button of the layouts: its own bold caption, and Enter presses it
// when it has the focus, just as Space does.
class CommandButton : public QPushButton
{
    Q_OBJECT

public:
    CommandButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
