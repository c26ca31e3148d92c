#include "print/layout_form.h"

namespace boleto {

LayoutForm::LayoutForm(const FormTemplate& form) : name_(form.name) {
  controls_.reserve(form.controls.size());
  for (const ControlTemplate& row : form.controls) {
    controls_.push_back(Control{row.kind, std::string(row.name), row.index, row.left, row.top,
                                row.width, row.height, std::string(row.caption),
                                std::string(row.font.name), row.font.size, row.font.bold,
                                row.alignment, Picture()});
  }
}

bool HoldsData(const Control& label) {
  return label.kind == ControlKind::kLabel && !label.name.starts_with("lblT") &&
         label.name != "lblAutentica";
}

Control* LayoutForm::FindOfKind(std::string_view name, ControlKind kind) {
  for (Control& control : controls_) {
    if (control.kind == kind && control.name == name) return &control;
  }
  return nullptr;
}

const Control* LayoutForm::FindOfKind(std::string_view name, ControlKind kind) const {
  return const_cast<LayoutForm*>(this)->FindOfKind(name, kind);
}

const Control* LayoutForm::Find(std::string_view name, int index) const {
  for (const Control& control : controls_) {
    if (control.name == name && control.index == index) return &control;
  }
  return nullptr;
}

Error LayoutForm::NoSuchControl(std::string_view what, std::string_view name) const {
  return MakeError(error_number::kItemNotFound,
                   name_ + " has no " + std::string(what) + " named " + std::string(name));
}

Status LayoutForm::SetCaption(std::string_view label, std::string caption) {
  Control* control = FindOfKind(label, ControlKind::kLabel);
  if (control == nullptr) return NoSuchControl("label", label);
  control->caption = std::move(caption);
  return Status::Ok();
}

Result<std::string> LayoutForm::Caption(std::string_view label) const {
  const Control* control = FindOfKind(label, ControlKind::kLabel);
  if (control == nullptr) return NoSuchControl("label", label);
  return control->caption;
}

Status LayoutForm::SetPicture(std::string_view picture_box, Picture picture) {
  Control* control = FindOfKind(picture_box, ControlKind::kPictureBox);
  if (control == nullptr) return NoSuchControl("picture box", picture_box);
  control->picture = std::move(picture);
  return Status::Ok();
}

Result<Picture> LayoutForm::GetPicture(std::string_view picture_box) const {
  const Control* control = FindOfKind(picture_box, ControlKind::kPictureBox);
  if (control == nullptr) return NoSuchControl("picture box", picture_box);
  return control->picture;
}

}  // namespace boleto
