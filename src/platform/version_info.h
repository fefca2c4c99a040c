// Texts built from the program's version.
#ifndef CORVALEN_PLATFORM_VERSION_INFO_H_
#define CORVALEN_PLATFORM_VERSION_INFO_H_

#include <string>

namespace corvalen {

// "CorvalenSQL v.2.0.16": the title of the update module's message boxes.
std::u16string VersionTitle();
// "v.2.0.16": the window's version label.
std::u16string VersionLabel();

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_VERSION_INFO_H_
