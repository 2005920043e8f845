#include "identity.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    setApplicationIdentity();
    return runStartupCycles();
}
