#pragma once

#include <QLabel>

namespace grize {

// The about box's link: a label that a click, or Enter or Space while it has
// the focus, activates. Tab reaches it; screen readers meet it as a link
// (WindowAccessibility.cpp).
class LinkLabel : public QLabel {
    Q_OBJECT

  public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void activated();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool pressed_ = false;
};

}  // namespace grize
