// The window system: one form drawn from a table of controls, its event loop
// and its modal message box. Layout is data: a backend only loops over it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

enum class ControlKind { kTextBox, kButton, kLabel };

struct FontStyle {
  std::string_view face;
  int points;
  bool bold;
};

// Positions and sizes are in twips (1/1440 inch, 15 twips = 1 pixel at 96
// dpi), measured from the top left corner of the client area.
struct ControlLayout {
  std::string_view name;
  ControlKind kind;
  std::string_view caption;
  int left, top, width, height;
  FontStyle font;
  // A text box's label, by its index in FormLayout::controls: its caption
  // names the box for screen readers, wherever the label is in tab order.
  std::optional<std::size_t> label = std::nullopt;
};

// One size of the program's icon: `size` x `size` pixels as 8-bit RGBA rows,
// top first, gzip'd.
struct IconImage {
  int size;
  std::span<const unsigned char> rgbaGzip;
};

// The program's icon on the form's frame and task bar, in the form each
// window system takes it: X11 the images, Windows the icon resource of the
// program file, which is its file icon too.
struct FormIcon {
  std::span<const IconImage> images;
  int resource;
};

// `controls` are in tab order; labels in it take no focus. The first control
// that takes focus holds it when the form opens.
struct FormLayout {
  std::string_view name;
  std::string_view caption;
  int clientWidth, clientHeight;  // twips
  std::span<const ControlLayout> controls;
  FormIcon icon;
};

// What an event handler may do with the open form. Controls are named by
// their index in FormLayout::controls.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual std::string Text(std::size_t control) const = 0;
  virtual void SetText(std::size_t control, std::string_view text) = 0;
  // Modal to the form: the message, one OK button, no icon, the application
  // title as caption. Returns when the user has closed it. A CR LF pair is
  // one line break.
  virtual void ShowMessage(std::string_view text) = 0;
  // Closes the form; the event loop then ends.
  virtual void Close() = 0;
};

class FormEvents {
 public:
  virtual ~FormEvents() = default;
  // Once, before the form is first shown.
  virtual void Load(FormView& form) = 0;
  virtual void Click(FormView& form, std::size_t button) = 0;
};

// Creates the form, runs Load, shows it and runs the event loop until the
// form closes (from a handler or from its frame). Enter and Escape press no
// button. Returns the program's exit status.
int RunForm(const FormLayout& layout, FormEvents& events, std::string_view appTitle);

}  // namespace platform
