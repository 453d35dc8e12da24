// The window system on Linux: FLTK 1.3 draws the form table, runs the event
// loop and shows the message box.
#include "platform/window.h"

// Declares Fl_X, the window's X record, which says whether the first expose
// has come (AwaitFirstExpose); before any FLTK header, as they include x.H.
#define FL_INTERNALS
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kPointsPerInch = 72;
constexpr int kLabelInset = 3;

// The value of resource `name` in the X resources' text, a "name:\tvalue"
// a line, as xrdb leaves it; empty where it is not set.
std::string_view ResourceValue(std::string_view resources, std::string_view name) {
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    std::string_view line = resources.substr(0, end);
    resources.remove_prefix(end == std::string_view::npos ? resources.size() : end + 1);
    if (line.size() <= name.size() || !line.starts_with(name) || line[name.size()] != ':') continue;
    line.remove_prefix(name.size() + 1);
    const std::size_t value = line.find_first_not_of(" \t");
    return value == std::string_view::npos ? std::string_view() : line.substr(value);
  }
  return {};
}

// The desktop's scale: the Xft.dpi resource, which desktops set for their
// scaling factor (`xrdb`); where it is not set, the screen's own resolution,
// which X servers mostly report as 96 whatever the screen. The resources'
// text came with the display; it is read as Qt reads it, not with Xlib's
// lookup (XGetDefault), which first loads Xlib's locale tables: half a
// millisecond where resources are set, of a start of some twenty.
double DesktopDpi() {
  const char* resources = XResourceManagerString(fl_display);
  const std::string_view value = ResourceValue(resources ? resources : "", "Xft.dpi");
  double dpi = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), dpi);
  if (error == std::errc() && dpi > 0) return dpi;
  float horizontal = 96, vertical = 96;
  Fl::screen_dpi(horizontal, vertical);
  return vertical;
}

// Twips become pixels at the desktop's resolution, never below 96 dpi, so
// the layout is the designed size on ordinary screens and grows on dense
// ones.
class Scale {
 public:
  Scale() : dpi_(std::max(96.0, DesktopDpi())) {}
  int Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * dpi_ / kTwipsPerInch));
  }
  int FontPixels(int points) const {
    return static_cast<int>(std::lround(points * dpi_ / kPointsPerInch));
  }

 private:
  double dpi_;
};

// "MS Sans Serif" has no Linux counterpart. The layout was drawn for its
// narrow proportions, which Arial's share: fontconfig answers "Arial" with its
// metric twin (Liberation Sans) where installed, else with the ordinary
// sans-serif face. The leading character is FLTK's style code for Xft.
constexpr Fl_Font kSansRegular = FL_FREE_FONT;
constexpr Fl_Font kSansBold = FL_FREE_FONT + 1;

void RegisterFonts() {
  Fl::set_font(kSansRegular, " Arial");
  Fl::set_font(kSansBold, "BArial");
}

Fl_Font FontFace(const FontStyle& font) { return font.bold ? kSansBold : kSansRegular; }

// The window's class, as the desktop entry's StartupWMClass names it
// (app/connector.desktop), so that docks match the window to the entry.
constexpr char kWindowClass[] = "connector";

// Shows `window` with the class "connector", "connector". FLTK sets the
// class capitalised ("connector", "Connector") as it creates the window and
// asks for it to be mapped; the window manager reads it when it handles that
// request, so the server is held until ours has replaced it.
void ShowWithOwnClass(Fl_Window& window) {
  XGrabServer(fl_display);
  window.show();
  std::string name(kWindowClass);
  XClassHint hint{name.data(), name.data()};
  XSetClassHint(fl_display, fl_xid(&window), &hint);
  XUngrabServer(fl_display);
  XFlush(fl_display);
}

// Appends one image to the window's _NET_WM_ICON: its width and height, then
// its pixels as 0xAARRGGBB, one to a long (Xlib's 32-bit items). The pixels
// are unpacked a few rows at a time, so that no large icon is ever whole in
// memory. False if the image is not `size` x `size` pixels.
bool AppendIcon(Window window, Atom property, const IconImage& image) {
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return false;  // 16: gzip
  stream.next_in = const_cast<Bytef*>(image.rgbaGzip.data());
  stream.avail_in = static_cast<uInt>(image.rgbaGzip.size());
  std::array<unsigned long, 2> header{static_cast<unsigned long>(image.size),
                                      static_cast<unsigned long>(image.size)};
  XChangeProperty(fl_display, window, property, XA_CARDINAL, 32, PropModeAppend,
                  reinterpret_cast<unsigned char*>(header.data()), 2);
  std::array<unsigned char, 4096> rgba{};
  std::array<unsigned long, rgba.size() / 4> argb{};
  long pixels = 0;
  std::size_t carried = 0;  // bytes of a pixel split between two rounds
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = rgba.data() + carried;
    stream.avail_out = static_cast<uInt>(rgba.size() - carried);
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t filled = rgba.size() - stream.avail_out;
    const std::size_t count = filled / 4;
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char* p = &rgba[4 * i];
      argb[i] = (static_cast<unsigned long>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
    }
    XChangeProperty(fl_display, window, property, XA_CARDINAL, 32, PropModeAppend,
                    reinterpret_cast<unsigned char*>(argb.data()), static_cast<int>(count));
    pixels += static_cast<long>(count);
    carried = filled % 4;
    std::memmove(rgba.data(), rgba.data() + 4 * count, carried);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END && carried == 0 && pixels == long{image.size} * image.size;
}

// The program's icon on `window` at every size it comes in. An image that
// did not unpack would leave the property unreadable: then the window goes
// without an icon.
void SetIcon(const Fl_Window& window, const FormIcon& icon) {
  const Window id = fl_xid(&window);
  const Atom property = XInternAtom(fl_display, "_NET_WM_ICON", False);
  XDeleteProperty(fl_display, id, property);
  for (const IconImage& image : icon.images) {
    if (!AppendIcon(id, property, image)) {
      XDeleteProperty(fl_display, id, property);
      return;
    }
  }
}

// A wider stand-in face could push a label's words past its box; the label
// then shrinks until its wrapped text fits rather than spill over its
// neighbours.
int FittingSize(const char* text, Fl_Font face, int size, int width, int height) {
  for (; size > 6; --size) {
    fl_font(face, size);
    int measuredWidth = width, measuredHeight = 0;
    fl_measure(text, measuredWidth, measuredHeight, 0);
    if (measuredWidth <= width && measuredHeight <= height + size / 2) break;
  }
  return size;
}

// Windows draws CR LF as one line break; FLTK would show the CR as "^M".
std::string WithUnixLineBreaks(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

// A form window on which Enter and Escape press nothing. Tab and Shift+Tab
// walk the controls in creation order, which is the table's order.
// `afterEvent` runs once each event has been handled.
class FormWindow final : public Fl_Double_Window {
 public:
  using Fl_Double_Window::Fl_Double_Window;

  int handle(int event) override {
    if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && IsSwallowedKey(Fl::event_key())) {
      return 1;
    }
    const int handled = Fl_Double_Window::handle(event);
    if (afterEvent) afterEvent();
    return handled;
  }

  std::function<void()> afterEvent;

 private:
  // Arrows would move the focus between controls in FLTK; Enter would act
  // like Tab; Escape would close the window.
  static bool IsSwallowedKey(int key) {
    switch (key) {
      case FL_Enter:
      case FL_KP_Enter:
      case FL_Escape:
      case FL_Up:
      case FL_Down:
      case FL_Left:
      case FL_Right: return true;
      default: return false;
    }
  }
};

// The message box: modal, the text selectable for copying, one OK button
// that OK, Enter, Space and Escape all press.
class MessageBox {
 public:
  static void Show(const Fl_Window* owner, std::string_view title, std::string_view message,
                   const Scale& scale, const FormIcon& icon) {
    std::string text = WithUnixLineBreaks(message);
    const int margin = scale.Pixels(180);
    const int fontSize = scale.FontPixels(8);
    const int buttonWidth = scale.Pixels(1200), buttonHeight = scale.Pixels(375);

    fl_font(kSansRegular, fontSize);
    int textWidth = scale.Pixels(6000), textHeight = 0;
    fl_measure(text.c_str(), textWidth, textHeight, 0);
    textWidth = std::max(textWidth + fontSize, buttonWidth);
    textHeight += fontSize / 2;

    const int width = textWidth + 2 * margin;
    const int height = textHeight + buttonHeight + 3 * margin;
    Fl_Double_Window box(width, height);
    std::string caption(title);
    box.label(caption.c_str());

    Fl_Multiline_Output body(margin, margin, textWidth, textHeight);
    body.box(FL_FLAT_BOX);
    body.color(box.color());
    body.textfont(kSansRegular);
    body.textsize(fontSize);
    body.wrap(1);
    body.value(text.c_str(), static_cast<int>(text.size()));

    Fl_Button ok((width - buttonWidth) / 2, height - margin - buttonHeight, buttonWidth,
                 buttonHeight, "OK");
    ok.labelfont(kSansRegular);
    ok.labelsize(fontSize);
    ok.shortcut(FL_Enter);
    ok.callback([](Fl_Widget* button, void*) { button->window()->hide(); });
    box.end();

    if (owner != nullptr) {
      box.position(owner->x() + (owner->w() - width) / 2, owner->y() + (owner->h() - height) / 2);
    }
    box.set_modal();
    ShowWithOwnClass(box);
    SetIcon(box, icon);
    ok.take_focus();
    while (box.shown()) Fl::wait();
  }
};

class FltkForm final : public FormView {
 public:
  FltkForm(const FormLayout& layout, FormEvents& events, std::string_view appTitle)
      : layout_(layout),
        events_(events),
        appTitle_(appTitle),
        caption_(layout.caption),
        icon_(layout.icon) {
    window_ = std::make_unique<FormWindow>(scale_.Pixels(layout.clientWidth),
                                           scale_.Pixels(layout.clientHeight), caption_.c_str());
    for (const ControlLayout& control : layout.controls)
      controls_.push_back(CreateControl(control));
    KeepControlsInPlaceOnResize();
    window_->end();
    window_->callback(OnCloseRequest, this);
    window_->afterEvent = [this] { PublishFocus(); };
  }

  // Measuring text loads the fonts, the bulk of a start's work: the form is
  // mapped first (the request sent at once, not with the first paint) and
  // its labels fitted while the server shows it. What no paint needs waits
  // until the first paint is sent, which FLTK holds back until the window
  // is exposed; the icon, which nothing waits for, comes last.
  int Run() {
    Guarded([this] { events_.Load(*this); });
    if (closed_) return 0;  // closed while loading
    ShowWithOwnClass(*window_);
    FitLabels();
    AwaitFirstExpose();
    Fl::flush();
    PrepareForInput();
    PublishFocus();
    if (window_->shown()) SetIcon(*window_, icon_);
    return Fl::run();
  }

  std::string Text(std::size_t control) const override {
    const auto* input = dynamic_cast<const Fl_Input*>(controls_.at(control));
    if (input == nullptr) return controls_.at(control)->label();
    return std::string(input->value(), static_cast<std::size_t>(input->size()));
  }

  void SetText(std::size_t control, std::string_view text) override {
    if (auto* input = dynamic_cast<Fl_Input*>(controls_.at(control))) {
      input->value(text.data(), static_cast<int>(text.size()));
    }
  }

  void ShowMessage(std::string_view text) override {
    MessageBox::Show(window_.get(), appTitle_, text, scale_, icon_);
  }

  void Close() override {
    closed_ = true;
    window_->hide();
  }

 private:
  Fl_Widget* CreateControl(const ControlLayout& control) {
    const int x = scale_.Pixels(control.left), y = scale_.Pixels(control.top);
    const int w = scale_.Pixels(control.width), h = scale_.Pixels(control.height);
    const char* caption = control.caption.data();  // the table's texts are literals
    Fl_Widget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kTextBox: {
        auto* input = new Fl_Input(x, y, w, h);
        input->textfont(FontFace(control.font));
        input->textsize(scale_.FontPixels(control.font.points));
        input->value(caption);
        widget = input;
        break;
      }
      case ControlKind::kButton:
        widget = new Fl_Button(x, y, w, h, caption);
        widget->callback(OnButton, this);
        break;
      case ControlKind::kLabel:
        // FLTK insets a left-aligned label by 3 pixels on each side; widen
        // the box so the text starts and wraps where it was designed to.
        widget = new Fl_Box(x - kLabelInset, y, w + 2 * kLabelInset, h, caption);
        widget->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP);
        break;
    }
    widget->labelfont(FontFace(control.font));
    widget->labelsize(scale_.FontPixels(control.font.points));
    return widget;
  }

  void FitLabels() {
    for (Fl_Widget* control : controls_) {
      if (dynamic_cast<Fl_Box*>(control) == nullptr) continue;
      control->labelsize(FittingSize(control->label(), control->labelfont(), control->labelsize(),
                                     control->w() - 2 * kLabelInset, control->h()));
    }
  }

  // Fl_Window::wait_for_expose, but a key or click handled meanwhile may
  // close the window (Connect): FLTK's loop would then wait on the window's
  // freed record for ever.
  void AwaitFirstExpose() {
    while (window_->shown() && Fl_X::i(window_.get())->wait_for_expose) Fl::wait();
  }

  // Before the first key or click: buttons take the focus too, whatever
  // FLTK's preference files say (reading them writes them back, a few
  // milliseconds), and the busy cursor is read from the cursor theme now
  // rather than in the first click's action. FLTK keeps both.
  void PrepareForInput() {
    Fl::visible_focus(1);
    window_->cursor(FL_CURSOR_WAIT);
    window_->cursor(FL_CURSOR_DEFAULT);
  }

  // The frame stays resizable, but the controls keep their place and size:
  // only an empty box in the bottom right corner takes the change.
  void KeepControlsInPlaceOnResize() {
    auto* corner = new Fl_Box(window_->w(), window_->h(), 0, 0);
    window_->resizable(corner);
    window_->size_range(1, 1);
  }

  static void OnButton(Fl_Widget* widget, void* data) {
    auto* form = static_cast<FltkForm*>(data);
    auto found = std::find(form->controls_.begin(), form->controls_.end(), widget);
    form->Dispatch(static_cast<std::size_t>(found - form->controls_.begin()));
  }

  // Every action runs to its end on this thread; the busy cursor says so.
  void Dispatch(std::size_t button) {
    window_->cursor(FL_CURSOR_WAIT);
    Fl::flush();
    Guarded([this, button] { events_.Click(*this, button); });
    if (window_->shown()) window_->cursor(FL_CURSOR_DEFAULT);
  }

  // Nothing an event throws may end the program: it is reported instead.
  void Guarded(const std::function<void()>& event) {
    try {
      event();
    } catch (const std::exception& failure) {
      ShowMessage(failure.what());
    }
  }

  // The name of the control that holds the focus, as the window's X property
  // _CONNECTOR_FOCUS: where keys go, for a program that drives the window
  // (the end-to-end test). Written only when it changes.
  void PublishFocus() {
    if (!window_->shown()) return;
    const auto found = std::find(controls_.begin(), controls_.end(), Fl::focus());
    const std::string_view name =
        found == controls_.end() ? ""
                                 : layout_.controls[std::size_t(found - controls_.begin())].name;
    if (name == publishedFocus_) return;
    publishedFocus_ = name;
    // Asking the server for the atom is a round trip: once is enough.
    static const Atom property = XInternAtom(fl_display, "_CONNECTOR_FOCUS", False);
    XChangeProperty(fl_display, fl_xid(window_.get()), property, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name.data()),
                    static_cast<int>(name.size()));
  }

  // FLTK calls the window's callback for Escape and for the frame's close
  // button; only the latter closes the form.
  static void OnCloseRequest(Fl_Widget*, void* data) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    static_cast<FltkForm*>(data)->Close();
  }

  const FormLayout& layout_;
  Scale scale_;
  FormEvents& events_;
  std::string appTitle_;
  std::string caption_;
  FormIcon icon_;
  std::unique_ptr<FormWindow> window_;
  std::vector<Fl_Widget*> controls_;  // owned by window_, in table order
  bool closed_ = false;
  std::string_view publishedFocus_ = "-";  // none yet
};

}  // namespace

int RunForm(const FormLayout& layout, FormEvents& events, std::string_view appTitle) {
  fl_open_display();  // the dpi is read before the window is built
  RegisterFonts();
  FltkForm form(layout, events, appTitle);
  return form.Run();
}

}  // namespace platform
