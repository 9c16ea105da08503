#pragma once

namespace grize {

// What the settings procedures need of the main window: its edges in twips.
class PositionTarget {
  public:
    virtual ~PositionTarget() = default;
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
};

// What they need of the "Auto quit window" check box: 0 unchecked, 1
// checked, 2 greyed. SetValue throws RuntimeError for any other value.
class CheckBoxTarget {
  public:
    virtual ~CheckBoxTarget() = default;
    virtual int Value() const = 0;
    virtual void SetValue(int value) = 0;
};

}  // namespace grize
