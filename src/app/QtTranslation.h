#pragma once

class QCoreApplication;

namespace QtTranslation {

// Installs Qt's own Spanish texts (the standard context menus of text fields, the texts of
// standard dialogs and buttons) on `application`, whatever the user's locale: every other
// text of the program is Spanish. False when Qt's translations are not installed; Qt's texts
// then stay English.
bool installSpanish(QCoreApplication &application);

} // namespace QtTranslation
