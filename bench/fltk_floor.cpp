// The toolkit's floor for the start-up benchmark: the least FLTK program that
// shows the connector's window, the same 16 controls in the same places,
// texts and faces at 96 dpi, with nothing behind them.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

namespace {

constexpr Fl_Font kRegular = FL_FREE_FONT;
constexpr Fl_Font kBold = FL_FREE_FONT + 1;
constexpr int kSmall = 11;  // 8 points
constexpr int kLarge = 16;  // 12 points

void Input(int x, int y, int w, int h, const char* text) {
  auto* input = new Fl_Input(x, y, w, h);
  input->textfont(kRegular);
  input->textsize(kSmall);
  input->value(text);
}

void Button(int x, int y, int w, int h, const char* caption) {
  auto* button = new Fl_Button(x, y, w, h, caption);
  button->labelfont(kRegular);
  button->labelsize(kSmall);
}

void Label(int x, int y, int w, int h, const char* caption, Fl_Font font, int size) {
  auto* label = new Fl_Box(x, y, w, h, caption);
  label->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP);
  label->labelfont(font);
  label->labelsize(size);
}

}  // namespace

int main() {
  Fl::set_font(kRegular, " Arial");
  Fl::set_font(kBold, "BArial");
  Fl_Double_Window window(312, 224, "Dedozeroz Adodivu");
  Input(136, 8, 169, 25, "NAME");
  Input(136, 32, 169, 25, "127.0.0.1");
  Label(64, 8, 65, 17, "NAME:", kBold, kLarge);
  Label(8, 32, 121, 17, "IP ADDRESS:", kBold, kLarge);
  Button(208, 152, 97, 33, "Connect");
  Button(16, 152, 97, 33, "Cancel");
  Label(32, 56, 97, 17, "BIN NAME:", kBold, kLarge);
  Input(136, 56, 169, 25, "kestrune.bin");
  Button(128, 168, 65, 17, "Test");
  Input(168, 152, 33, 19, "5");
  Label(120, 144, 49, 25, "Test Data Size", kRegular, kSmall);
  Button(8, 8, 49, 17, "Save");
  Input(136, 80, 169, 25, "2597");
  Label(80, 80, 41, 17, "Port:", kBold, kLarge);
  Input(136, 104, 169, 25, "0");
  Label(56, 104, 65, 17, "Tileset:", kBold, kLarge);
  window.end();
  window.show();
  return Fl::run();
}
