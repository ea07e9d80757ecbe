#pragma once
// Alt+letter access keys for the program's windows. The captions the windows show are fixed, so
// instead of writing access keys into every caption by hand, each window gets them assigned
// when it first opens: a letter of the caption is underlined, the text itself stays the same.

#include <QChar>
#include <QString>

class QWidget;

namespace quenda {

// The access key of a caption ("&Split File" gives 'S'), or a null QChar when it has none.
// "&&" is a literal ampersand, not a key.
QChar accessKeyOf(const QString &caption);

// The caption as it reads on screen, without the access-key marks.
QString withoutAccessKey(const QString &caption);

// Gives every button, option, check box, tab and label with a buddy in window an access key,
// keeping the keys a caption already has. Controls that can be on screen together never share a
// key: pages of a tab or stacked widget are shown one at a time, so they may reuse each other's
// letters, but never a letter of what surrounds them. Captions with no free letter stay as they
// are.
void assignAccessKeys(QWidget *window);

} // namespace quenda
