// Program start: the Oracle client's environment, the application title, then the main window,
// the About window and the connection-string dialog in that order (the dialog's creation reads
// the related application's settings and the data sources once), then the event loop.

#include <QApplication>

#include "app/about_form.h"
#include "app/migration_form.h"
#include "app/qt_translations.h"
#include "db/connect_string_form.h"
#include "db/odbc.h"

int main(int argc, char* argv[]) {
    // Before anything loads an Oracle client: it reads NLS_LANG once, when it starts.
    PrepareOracleClientEnvironment();
    QApplication app(argc, argv);
    LoadQtTranslations(&app);
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    // The title lives in the main window's caption and the error reports; it is not set as
    // the display name, which would be appended to every dialog's caption.

    TFormMigration form_migration;
    TFormAbout form_about(&form_migration);
    TFormConnectString form_connect_string(&form_migration);
    form_migration.SetAboutForm(&form_about);
    form_migration.SetConnectStringForm(&form_connect_string);

    form_migration.show();
    return app.exec();
}
