#pragma once
// The window's controls by their names, and how each maps onto the session: which picture a
// picture box paints, which text a text box shows and edits, and whether a control is shown and
// enabled. The session names its state by what it is; the control names live only here and in
// the layout.

#include <string>

#include "imaging/surface.hpp"
#include "lesionmeter/lesion_session.hpp"

namespace lesionmeter::app {

enum class Control {
    Picture1, Picture2, Picture3, Picture4, Picture5, Picture6, Picture7, Picture8, Picture9,
    Picture10, Picture11, Picture12, Picture13, Picture14, Picture15, Picture16, Picture17, Picture18,
    Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13,
    Text14, Text15, Text16, Text17, Text18, Text19, Text20, Text21, Text22,
    Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9,
    Option1, Option2, Option3, Option4, Option5, Option6, Option7,
    Check1, Label1, Label2, Frame1,
};
// Picture1..Picture18, Text1..Text22 as Control values.
Control pictureControl(int n);
Control textControl(int n);

// The session's picture that PictureN paints; nullptr for the panels Picture5, Picture10 and
// Picture11, which only hold other controls.
const imaging::PictureSurface* sessionPicture(const LesionSession& session, int n);
// The session's text that TextN shows and edits; nullptr for Text8, which does not exist.
const std::string* sessionText(const LesionSession& session, int n);
std::string* sessionText(LesionSession& session, int n);

// Whether the control is shown and enabled now: the session decides for the controls its
// commands change, the layout's initial state holds for the others.
bool controlShown(const LesionSession& session, Control c);
bool controlEnabled(const LesionSession& session, Control c);

}  // namespace lesionmeter::app
