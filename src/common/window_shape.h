#pragma once

class QLabel;
class QString;
class QWidget;

namespace quenda {

// Gives a frameless window rounded corners (25 by 25 pixel ellipses).
void applyRoundedShape(QWidget *window);
// Lets the user move the window by the control just pressed; a maximized window stays put.
void dragWindow(QWidget *window);
// The heading a window shows above its controls: its caption in bold, four points larger.
QLabel *makeTitleLabel(const QString &text, QWidget *window);

} // namespace quenda
