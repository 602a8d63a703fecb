#pragma once

namespace mnemora {

// The words the window's description (assets/layout.json) uses for what a
// control is; mnemora_layout.h names every control by them.

enum class ControlKind {
    Panel, // the picture container under the other controls
    Picture,
    Caption, // a text on the panel
    HotSpot, // invisible, over a button painted in the panel's picture
    Input,
    Password, // an input shown as stars, typed without an input method
    Output,   // read-only, and every copy of it is handed to the window
};

enum class ControlPointer { Inherited, Arrow, TextCursor, Hand };

// A control's part for assistive technology; None marks decoration that it
// never sees.
enum class ControlRole { None, Graphic, Grouping, EditableText, Link, Button, Notification };

} // namespace mnemora
