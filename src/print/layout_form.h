// The boleto's layout forms: fixed templates of positioned controls compiled
// into the program (the payer's receipt stub frmTabLayBolRec, the bank's
// compensation part frmTabLayBolBol and the holder of the bank description,
// frmTemporaria), and the working copy a run fills in. Positions are twips
// from the template's top left; the control order is the drawing order.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "print/picture.h"

namespace boleto {

inline constexpr char kReceiptStubForm[] = "frmTabLayBolRec";
inline constexpr char kCompensationPartForm[] = "frmTabLayBolBol";
inline constexpr char kTemporaryForm[] = "frmTemporaria";

enum class ControlKind { kLabel, kLine, kPictureBox };
enum class Alignment { kLeft, kRight };

struct FontSpec {
  std::string_view name;
  double size = 0;  // points
  bool bold = false;
};

// The templates' default font: MS Sans Serif 8.25, regular.
inline constexpr FontSpec kDefaultFont{"MS Sans Serif", 8.25, false};

// Index of a control that is not a member of a control array.
inline constexpr int kNoIndex = -1;

// One row of a template. Labels and picture boxes use left/top/width/height;
// lines use the same four numbers as X1/Y1/X2/Y2, in their stored order.
struct ControlTemplate {
  ControlKind kind;
  std::string_view name;
  int index;
  int left;    // X1 for a line
  int top;     // Y1 for a line
  int width;   // X2 for a line
  int height;  // Y2 for a line
  std::string_view caption;
  FontSpec font;
  Alignment alignment;
};

struct FormTemplate {
  std::string_view name;
  int client_left;
  int client_top;
  int client_width;
  int client_height;
  std::span<const ControlTemplate> controls;
};

const FormTemplate& ReceiptStubTemplate();       // frmTabLayBolRec, 90 controls
const FormTemplate& CompensationPartTemplate();  // frmTabLayBolBol, 92 controls
const FormTemplate& TemporaryFormTemplate();     // frmTemporaria, txtDescBanco only

// A control of a working copy: the template row with its own caption, font
// and picture.
struct Control {
  ControlKind kind;
  std::string name;
  int index;
  int left, top, width, height;  // X1, Y1, X2, Y2 for a line
  std::string caption;
  std::string font_name;
  double font_size;
  bool font_bold;
  Alignment alignment;
  Picture picture;  // picture boxes only; empty until the run loads one

  int x1() const { return left; }
  int y1() const { return top; }
  int x2() const { return width; }
  int y2() const { return height; }
};

// Whether a label prints a value the run fills in from data: every label but
// the fixed titles (names beginning "lblT") and "lblAutentica".
bool HoldsData(const Control& label);

// One run's instance of a layout form. Labels and picture boxes are found by
// name (unique among them in each form); lines by name and index.
class LayoutForm {
 public:
  explicit LayoutForm(const FormTemplate& form);

  const std::string& name() const { return name_; }
  const std::vector<Control>& controls() const { return controls_; }

  // Replaces the caption of the label named so; an error (3265) where the
  // form has no such label.
  Status SetCaption(std::string_view label, std::string caption);
  // The caption of the label named so; an error (3265) where there is none.
  Result<std::string> Caption(std::string_view label) const;

  // Loads a picture (possibly the empty one) into the picture box named so.
  Status SetPicture(std::string_view picture_box, Picture picture);
  Result<Picture> GetPicture(std::string_view picture_box) const;

  // The control named so (with the given index for control arrays), or null.
  const Control* Find(std::string_view name, int index = kNoIndex) const;

 private:
  Control* FindOfKind(std::string_view name, ControlKind kind);
  const Control* FindOfKind(std::string_view name, ControlKind kind) const;
  Error NoSuchControl(std::string_view what, std::string_view name) const;

  std::string name_;
  std::vector<Control> controls_;
};

}  // namespace boleto
