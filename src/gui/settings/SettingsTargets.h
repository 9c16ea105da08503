#pragma once

namespace grize {

// What the settings need of the main window: its edges in twips.
class PositionTarget {
  public:
    virtual ~PositionTarget() = default;
    virtual float left() const = 0;
    virtual float top() const = 0;
    virtual void setLeft(float twips) = 0;
    virtual void setTop(float twips) = 0;
};

// What they need of the "Auto quit window" check box: 0 unchecked, 1
// checked, 2 greyed. setValue throws RuntimeError for any other value.
class CheckBoxTarget {
  public:
    virtual ~CheckBoxTarget() = default;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
};

}  // namespace grize
