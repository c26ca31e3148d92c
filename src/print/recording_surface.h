// A printer surface that draws nothing and keeps every operation, in order,
// with the coordinates and the font in force, so that tests can assert what a
// rendering did. Text is measured with fixed metrics: every character 0.6 em
// wide, every line 1.2 em high.
#pragma once

#include <string>
#include <vector>

#include "print/printer_surface.h"

namespace boleto {

struct RecordedOperation {
  enum class Kind {
    kFontName,
    kFontSize,
    kFontBold,
    kFontItalic,
    kScaleLeft,
    kCurrentX,
    kCurrentY,
    kText,
    kLine,
    kRectangle,
    kPicture,
    kCompletePage,
    kEndJob,
  };
  Kind kind;
  std::string text;                       // printed text, or the font name set
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // position, or the two points/corners
  Rgb colour;
  std::string font_name;  // font in force at the time
  double font_size = 0;
  bool font_bold = false;

  // One line such as: text (600, 2440) Arial 6.75 "Local do Pagamento".
  std::string ToString() const;
};

class RecordingSurface : public PrinterSurface {
 public:
  explicit RecordingSurface(double scale_width = kA4WidthTwips) : scale_width_(scale_width) {}

  void SetFontName(std::string_view name) override;
  void SetFontSize(double points) override;
  void SetFontBold(bool bold) override;
  void SetFontItalic(bool italic) override;
  std::string FontName() const override { return font_name_; }
  double FontSize() const override { return font_size_; }
  bool FontBold() const override { return font_bold_; }

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;

  double ScaleWidth() const override { return scale_width_; }
  double ScaleLeft() const override { return scale_left_; }
  void SetScaleLeft(double x) override;

  double CurrentX() const override { return current_x_; }
  double CurrentY() const override { return current_y_; }
  void SetCurrentX(double x) override;
  void SetCurrentY(double y) override;

  Status PrintText(std::string_view text) override;
  Status DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
  Status FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) override;
  Status PaintPicture(const Picture& picture, double x, double y) override;
  Status CompletePage() override;
  Status EndJob() override;

  const std::vector<RecordedOperation>& operations() const { return operations_; }
  // The operations of the given kinds only, in order.
  std::vector<RecordedOperation> OperationsOf(
      std::initializer_list<RecordedOperation::Kind> kinds) const;

 private:
  RecordedOperation& Record(RecordedOperation::Kind kind);

  double scale_width_;
  double scale_left_ = 0;
  double current_x_ = 0;
  double current_y_ = 0;
  std::string font_name_ = "MS Sans Serif";
  double font_size_ = 8.25;
  bool font_bold_ = false;
  bool font_italic_ = false;
  std::vector<RecordedOperation> operations_;
};

}  // namespace boleto
