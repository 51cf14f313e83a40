#pragma once
// The toolkit-neutral controls. A control holds the state the program works
// with (captions, values, flags, places); a view in a window toolkit shows it
// and turns the user's actions into calls on it. Tests and the command-line
// front end use the same controls with no view at all.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Font {
  std::string name;  // CP932
  int pixelHeight = 12;
  bool bold = false;
  Rgb colour;
  friend bool operator==(const Font&, const Font&) = default;
};

class Control {
 public:
  // `parent` only places the control; the owner of both (the window) keeps
  // them alive.
  Control(std::string name, Control* parent, Rect bounds);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }

  const Rect& Bounds() const { return bounds_; }
  void SetBounds(Rect bounds);

  // CP932 caption; what it means (title, label text, button text) depends on
  // the kind of control.
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  // A control without a font of its own uses its parent's.
  const Font& EffectiveFont() const;
  const std::optional<Font>& OwnFont() const { return font_; }
  void SetFont(Font font);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // The view attached to this control learns of every change through this.
  void SetChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 protected:
  void NotifyChanged() const;

 private:
  std::string name_;
  Control* parent_;
  std::vector<Control*> children_;
  Rect bounds_;
  std::string caption_;
  std::optional<Font> font_;
  bool enabled_ = true;
  std::function<void()> listener_;
};

}  // namespace tavrin
