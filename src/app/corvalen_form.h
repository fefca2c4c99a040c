// The design of the window `Corvalen`: caption, client size, background,
// and every control with its place in twips, lettering, colours, alignment
// and initial text. Both windows (Qt on Linux, Win32 on Windows) build
// themselves from this one description, so that they cannot drift apart.
// Plain data: no window toolkit is needed to read it.
#ifndef CORVALEN_APP_CORVALEN_FORM_H_
#define CORVALEN_APP_CORVALEN_FORM_H_

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace corvalen::form {

// A twip is 1/1440 inch: 15 twips per pixel at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;

struct Rgb {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

// A place on the client area, in twips from its top-left corner.
struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};

// Every letter of the window is in this face.
inline constexpr char16_t kFace[] = u"Tahoma";

struct Lettering {
  double points;
  bool bold;
};

enum class Kind { kProgressBar, kListBox, kTextBox, kPushButton, kLabel, kRectangle };
enum class Align { kLeft, kCentre };

struct Control {
  const char* name;
  Kind kind;
  TwipRect place;
  const char16_t* text;  // initial text; empty when the control has none
  Lettering lettering;
  Rgb foreground;        // text, or the rectangle's line
  Rgb background;        // the list's background; labels have none (transparent)
  Align align;
  bool visible;          // false for the controls that lie outside the client area
};

inline constexpr char16_t kCaption[] = u"Corvalen";
inline constexpr int kClientWidth = 7170;   // twips
inline constexpr int kClientHeight = 3690;  // twips
inline constexpr Rgb kBackground{192, 192, 192};
// The window's own lettering, which controls without one of their own use.
inline constexpr Lettering kFormLettering{8.25, false};
// The range the progress bar has when it is made.
inline constexpr int kProgressMaxAtStart = 100;

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};

// The controls, in the order in which the window holds them.
enum class Id {
  kPrgbar,
  kList1,
  kText2,
  kCmdActualizar,
  kText1,
  kLblStatus,
  kLblStatusPrg,
  kLblAppVer,
  kLabel2,
  kLabel1,
  kShp1,
};

inline constexpr Control kControls[] = {
    {"prgbar", Kind::kProgressBar, {90, 3360, 6825, 75}, u"", kFormLettering, kBlack,
     kBackground, Align::kLeft, true},
    {"List1", Kind::kListBox, {120, 1140, 6885, 1785}, u"", {8.25, false}, kBlack, kBackground,
     Align::kLeft, true},
    {"Text2", Kind::kTextBox, {4140, 6150, 8805, 660}, u"", kFormLettering, kBlack, kBackground,
     Align::kLeft, false},
    {"cmd_Actualizar", Kind::kPushButton, {10020, 1170, 1215, 495}, u"Actualizar", kFormLettering,
     kBlack, kBackground, Align::kCentre, false},
    {"Text1", Kind::kTextBox, {5460, 5310, 6195, 3315}, u"", kFormLettering, kBlack, kBackground,
     Align::kLeft, false},
    {"Lbl_Status", Kind::kLabel, {30, 3480, 7095, 195}, u"", {8.25, true}, kRed, kBackground,
     Align::kCentre, true},
    {"Lbl_StatusPrg", Kind::kLabel, {540, 3090, 5955, 210}, u"Preparando ...", {9, true}, kBlack,
     kBackground, Align::kCentre, true},
    {"Lbl_AppVer", Kind::kLabel, {6270, 660, 675, 240}, u"V.0.0.0", {9.75, true}, kBlack,
     kBackground, Align::kLeft, true},
    {"Label2", Kind::kLabel, {2640, 4590, 6915, 330}, u"Label2", kFormLettering, kBlack,
     kBackground, Align::kLeft, false},
    {"Label1", Kind::kLabel, {240, 300, 5490, 285}, u"Corvalen de Base de Datos de Marvento",
     {12, true}, kBlack, kBackground, Align::kLeft, true},
    // The header frame: a one-pixel line beneath the title and the version.
    {"Shp1", Kind::kRectangle, {30, 30, 7095, 945}, u"", kFormLettering, kBlack, kBackground,
     Align::kLeft, true},
};

static_assert(std::size(kControls) == static_cast<size_t>(Id::kShp1) + 1);

constexpr const Control& Design(Id id) { return kControls[static_cast<int>(id)]; }

// Twips as pixels at `dpi` dots per inch, rounded down as the designed
// layout is at 96 dpi (7170 twips are 478 pixels).
constexpr int ToPixels(int twips, int dpi) { return twips * dpi / kTwipsPerInch; }

}  // namespace corvalen::form

#endif  // CORVALEN_APP_CORVALEN_FORM_H_
