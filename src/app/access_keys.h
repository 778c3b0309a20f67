#pragma once
// Menu captions carry no access-key markers; each menu gives its items unique access keys by
// itself, taken from the characters of their captions, as the desktop does for its own menus.

#include <QString>

class QMenu;
class QMenuBar;

// Marks one character of every item's caption in `menu` (and its submenus) as the item's
// access key: the first letter or digit, preferring word starts, that no earlier item of the
// same menu uses. Captions that already carry a marker keep it.
void AssignAccessKeys(QMenu* menu);
void AssignAccessKeys(QMenuBar* menuBar);

// A caption as shown, without its access-key marker ("&&" stands for "&").
QString StripAccessKey(const QString& caption);
