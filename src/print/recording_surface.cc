#include "print/recording_surface.h"

#include <cstdio>

#include "print/utf8_text.h"

namespace boleto {
namespace {

// Fixed metrics of the recording surface, in ems of the current font.
constexpr double kCharacterWidthEm = 0.6;
constexpr double kLineHeightEm = 1.2;

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string Hex(Rgb colour) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return buffer;
}

}  // namespace

std::string RecordedOperation::ToString() const {
  using K = Kind;
  const std::string at = "(" + Number(x1) + ", " + Number(y1) + ")";
  const std::string to = "(" + Number(x2) + ", " + Number(y2) + ")";
  switch (kind) {
    case K::kFontName:
      return "font-name " + text;
    case K::kFontSize:
      return "font-size " + Number(x1);
    case K::kFontBold:
      return std::string("font-bold ") + (x1 != 0 ? "on" : "off");
    case K::kFontItalic:
      return std::string("font-italic ") + (x1 != 0 ? "on" : "off");
    case K::kScaleLeft:
      return "scale-left " + Number(x1);
    case K::kCurrentX:
      return "current-x " + Number(x1);
    case K::kCurrentY:
      return "current-y " + Number(y1);
    case K::kText:
      return "text " + at + " " + font_name + " " + Number(font_size) + (font_bold ? " bold" : "") +
             " \"" + text + "\"";
    case K::kLine:
      return "line " + at + "-" + to + " " + Hex(colour);
    case K::kRectangle:
      return "rectangle " + at + "-" + to + " " + Hex(colour);
    case K::kPicture:
      return "picture " + at + " " + text;
    case K::kCompletePage:
      return "complete-page";
    case K::kEndJob:
      return "end-job";
  }
  return "?";
}

RecordedOperation& RecordingSurface::Record(RecordedOperation::Kind kind) {
  RecordedOperation& op = operations_.emplace_back();
  op.kind = kind;
  op.font_name = font_name_;
  op.font_size = font_size_;
  op.font_bold = font_bold_;
  return op;
}

void RecordingSurface::SetFontName(std::string_view name) {
  font_name_ = std::string(name);
  Record(RecordedOperation::Kind::kFontName).text = font_name_;
}

void RecordingSurface::SetFontSize(double points) {
  font_size_ = points;
  Record(RecordedOperation::Kind::kFontSize).x1 = points;
}

void RecordingSurface::SetFontBold(bool bold) {
  font_bold_ = bold;
  Record(RecordedOperation::Kind::kFontBold).x1 = bold ? 1 : 0;
}

void RecordingSurface::SetFontItalic(bool italic) {
  font_italic_ = italic;
  Record(RecordedOperation::Kind::kFontItalic).x1 = italic ? 1 : 0;
}

double RecordingSurface::TextWidth(std::string_view text) {
  return static_cast<double>(CharacterCount(text)) * kCharacterWidthEm * font_size_ *
         kTwipsPerPoint;
}

double RecordingSurface::TextHeight(std::string_view) {
  return kLineHeightEm * font_size_ * kTwipsPerPoint;
}

void RecordingSurface::SetScaleLeft(double x) {
  scale_left_ = x;
  Record(RecordedOperation::Kind::kScaleLeft).x1 = x;
}

void RecordingSurface::SetCurrentX(double x) {
  current_x_ = x;
  Record(RecordedOperation::Kind::kCurrentX).x1 = x;
}

void RecordingSurface::SetCurrentY(double y) {
  current_y_ = y;
  Record(RecordedOperation::Kind::kCurrentY).y1 = y;
}

Status RecordingSurface::PrintText(std::string_view text) {
  RecordedOperation& op = Record(RecordedOperation::Kind::kText);
  op.text = std::string(text);
  op.x1 = current_x_;
  op.y1 = current_y_;
  current_y_ += TextHeight(text);
  current_x_ = scale_left_;
  return Status::Ok();
}

Status RecordingSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour) {
  RecordedOperation& op = Record(RecordedOperation::Kind::kLine);
  op.x1 = x1, op.y1 = y1, op.x2 = x2, op.y2 = y2, op.colour = colour;
  return Status::Ok();
}

Status RecordingSurface::FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) {
  RecordedOperation& op = Record(RecordedOperation::Kind::kRectangle);
  op.x1 = x1, op.y1 = y1, op.x2 = x2, op.y2 = y2, op.colour = colour;
  return Status::Ok();
}

Status RecordingSurface::PaintPicture(const Picture& picture, double x, double y) {
  RecordedOperation& op = Record(RecordedOperation::Kind::kPicture);
  op.x1 = x, op.y1 = y;
  op.x2 = x + picture.WidthTwips(), op.y2 = y + picture.HeightTwips();
  op.text = picture.empty() ? "empty"
                            : std::to_string(picture.pixels()->width) + "x" +
                                  std::to_string(picture.pixels()->height);
  return Status::Ok();
}

Status RecordingSurface::CompletePage() {
  Record(RecordedOperation::Kind::kCompletePage);
  return Status::Ok();
}

Status RecordingSurface::EndJob() {
  Record(RecordedOperation::Kind::kEndJob);
  return Status::Ok();
}

std::vector<RecordedOperation> RecordingSurface::OperationsOf(
    std::initializer_list<RecordedOperation::Kind> kinds) const {
  std::vector<RecordedOperation> out;
  for (const RecordedOperation& op : operations_) {
    for (RecordedOperation::Kind kind : kinds) {
      if (op.kind == kind) {
        out.push_back(op);
        break;
      }
    }
  }
  return out;
}

}  // namespace boleto
