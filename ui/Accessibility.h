#pragma once

class QObject;

namespace mnemora {

// Sets up what assistive technology learns from the window, once per process:
//  - every Label gets the role it was made with; a clickable one offers the
//    press action, which clicks it; a decorative one is left out of its
//    parent's children;
//  - text-change events of a password box carry its mask characters, never
//    the typed ones, just as its text does when asked for.
// Qt sends text-change events with the real characters whatever the echo
// mode, and every program on the session's accessibility bus receives them.
void SetUpAccessibility();

// Assistive technology hears nothing of this object: for helpers that are
// never shown, whose changes a shown control reports.
void KeepFromAssistiveTechnology(QObject *object);

} // namespace mnemora
