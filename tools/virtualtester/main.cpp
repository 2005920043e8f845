#include "testeroptions.h"
#include "virtualtester.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// The bed announces the adapter's removal to the udev monitors of the
// program under test only if the tester itself sees the bed's sysfs, that is
// runs with umockdev's preload library. Without it, a pulled-out adapter
// would vanish silently. So start over through umockdev-wrapper once.
void runUnderPreload(char *argv[])
{
    static const char guard[] = "VELMORA_VIRTUAL_TESTER_PRELOADED";
    const char *preload = std::getenv("LD_PRELOAD");
    if ((preload && std::strstr(preload, "libumockdev-preload")) || std::getenv(guard))
        return;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return;
    self[length] = '\0';
    ::setenv(guard, "1", 1);
    std::vector<char *> args;
    args.push_back(const_cast<char *>("umockdev-wrapper"));
    args.push_back(self);
    for (char **arg = argv + 1; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    ::execvp(args.front(), args.data());
    std::fprintf(stderr,
                 "velmora-virtual-tester: cannot run umockdev-wrapper (%s); a pulled-out "
                 "adapter will not be announced to udev monitors\n",
                 std::strerror(errno));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-virtual-tester"));

    const QString sample =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sample-records.csv"));
    TesterOptions options;
    QString error;
    QString help;
    if (!TesterOptions::parse(QCoreApplication::arguments(), sample, &options, &error, &help)) {
        if (!help.isEmpty()) {
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return 0;
        }
        std::fprintf(stderr, "velmora-virtual-tester: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    // A terminal line has no bed to announce anything to.
    if (options.line.isEmpty())
        runUnderPreload(argv);
    VirtualTester tester(options);
    return tester.run();
}
