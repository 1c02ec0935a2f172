#pragma once

// Qt's own texts (file dialogs, the Yes / No / OK buttons of message boxes, the replace question)
// in Japanese, like the rest of the window.
namespace QtTranslation {

// Loads Qt's Japanese translation (qtbase_ja from Qt's translations folder) into the application,
// once. False when it could not be found (Qt's texts then stay English).
bool install();

} // namespace QtTranslation
