// The window's icon, drawn at start-up in the four sizes the desktop asks for
// from the same artwork as the Windows icon file.
#ifndef CORVALEN_APP_CORVALEN_ICON_H_
#define CORVALEN_APP_CORVALEN_ICON_H_

#include <QIcon>

namespace corvalen {

// A database drum with a green up arrow, as 16, 24, 32 and 48 pixel images.
// Needs a QGuiApplication.
QIcon CorvalenIcon();

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_ICON_H_
