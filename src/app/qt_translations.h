#pragma once
// Qt's own texts (the buttons of message boxes, the file dialogs, the context menus of edit
// fields) in the language of the interface, Russian. QtCore only; called once at start on the
// user-interface thread.

class QCoreApplication;
class QTranslator;

// Installs Qt's Russian catalogue (qtbase_ru.qm from Qt's translations folder) into app. The
// translator is owned by app; null when the catalogue is not installed (the texts then stay in
// English and nothing else changes).
QTranslator* LoadQtTranslations(QCoreApplication* app);
