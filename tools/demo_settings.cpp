// The wizard's settings for the local demo, written through QSettings itself so that the wizard
// reads back exactly what is written (the connection strings hold ';', '"' and '=').
//
//   skerrow_demo_settings state           prints "none" (no settings yet, or no connection
//                                         strings in them), "demo" (they lead to the demo's
//                                         data sources) or "own"
//   skerrow_demo_settings write DIR       "none" only: fills the connection strings, user and
//                                         password from the demo in DIR; other settings are
//                                         never overwritten
//   skerrow_demo_settings refresh DIR     settings that lead to the demo follow its current port
//   skerrow_demo_settings strings DIR     prints the demo's two connection strings
//   skerrow_demo_settings target          prints the new database's name and its owner's
//                                         password, one a line: the wizard's entries while they
//                                         lead to the demo, else the demo's own

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <cstdio>

#include "app/demo_settings.h"
#include "app/settings.h"
#include "util/error.h"

namespace {

void Print(const QString& text) {
    std::fputs(qPrintable(text + u'\n'), stdout);
}

int Usage() {
    std::fputs(
        "usage: skerrow_demo_settings state | target | write DIR | refresh DIR | strings DIR\n",
        stderr);
    return 2;
}

// The wizard opens its settings exactly so.
QSettings WizardSettings() {
    return QSettings(QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool no_dir = !args.isEmpty() &&
                        (args[0] == QLatin1String("state") || args[0] == QLatin1String("target"));
    if (args.isEmpty() || args.size() != (no_dir ? 1 : 2)) {
        return Usage();
    }
    const QString& command = args[0];
    try {
        QSettings settings = WizardSettings();
        const bool exists = QFile::exists(settings.fileName());
        TSettingsValues stored;
        LoadSettings(settings, stored);
        // Settings without any connection string (a first start whose demo failed, say) have
        // nothing worth keeping from the demo's strings.
        const bool blank = !exists || (stored.connect_from.trimmed().isEmpty() &&
                                       stored.connect_to.trimmed().isEmpty());

        if (command == QLatin1String("state")) {
            Print(blank                  ? QStringLiteral("none")
                  : PointsAtDemo(stored) ? QStringLiteral("demo")
                                         : QStringLiteral("own"));
            return 0;
        }

        if (command == QLatin1String("target")) {
            const bool own = !blank && PointsAtDemo(stored) && !stored.user.isEmpty();
            Print(own ? stored.user : QLatin1String(kDemoTargetUser));
            Print(own ? stored.password : QLatin1String(kDemoTargetPassword));
            return 0;
        }

        const TDemoServer server =
            ReadDemoServer(QDir(args[1]).filePath(QStringLiteral("testbed.env")));
        if (command == QLatin1String("strings")) {
            const TSettingsValues demo = DemoSettingsValues(server);
            Print(QStringLiteral("source: ") + demo.connect_from);
            Print(QStringLiteral("target: ") + demo.connect_to);
            return 0;
        }
        if (command == QLatin1String("write")) {
            if (!blank) {
                Print(QStringLiteral("demo: settings kept: ") + settings.fileName());
                return 0;
            }
            const TSettingsValues demo = DemoSettingsValues(server);
            stored.connect_from = demo.connect_from;
            stored.connect_to = demo.connect_to;
            stored.user = demo.user;
            stored.password = demo.password;
            if (!SaveSettings(settings, stored)) {
                Print(QStringLiteral("demo: cannot write ") + settings.fileName());
                return 1;
            }
            Print(QStringLiteral("demo: settings written: ") + settings.fileName());
            return 0;
        }
        if (command == QLatin1String("refresh")) {
            if (exists && PointsAtDemo(stored) && RefreshDemoPort(stored, server.port)) {
                if (!SaveSettings(settings, stored)) {
                    Print(QStringLiteral("demo: cannot write ") + settings.fileName());
                    return 1;
                }
                Print(QStringLiteral("demo: target port set to %1 in %2")
                          .arg(server.port)
                          .arg(settings.fileName()));
            }
            return 0;
        }
        return Usage();
    } catch (const TError& error) {
        std::fputs(qPrintable(QStringLiteral("demo: ") + error.Message() + u'\n'), stderr);
        return 1;
    }
}
