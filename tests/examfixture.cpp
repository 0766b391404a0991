// The fixture's meta-object, compiled once for every test that derives from it.
#include "examfixture.h"

#include "moc_examfixture.cpp"
