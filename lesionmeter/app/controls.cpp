// The window's control names mapped onto the session's named pictures, texts and states.

#include "controls.hpp"

#include <algorithm>
#include <initializer_list>

#include "imaging/errors.hpp"

namespace lesionmeter::app {

namespace {

int index(Control c) { return static_cast<int>(c); }

bool oneOf(Control c, std::initializer_list<Control> controls) {
    return std::find(controls.begin(), controls.end(), c) != controls.end();
}

}  // namespace

Control pictureControl(int n) {
    if (n < 1 || n > 18) throw imaging::RunError::subscriptOutOfRange();
    return static_cast<Control>(index(Control::Picture1) + n - 1);
}

Control textControl(int n) {
    if (n < 1 || n > 22) throw imaging::RunError::subscriptOutOfRange();
    return static_cast<Control>(index(Control::Text1) + n - 1);
}

const imaging::PictureSurface* sessionPicture(const LesionSession& session, int n) {
    const LesionPictures& p = session.pictures();
    switch (n) {
        case 1: return &p.photo;
        case 2: return &p.lesionMap;
        case 3: return &p.sampleCount;
        case 4: return &p.acceptedCount;
        case 6: return &p.weightRed;
        case 7: return &p.weightGreen;
        case 8: return &p.weightBlue;
        case 9: return &p.minimumMargin;
        case 12: return &p.outline;
        case 13: return &p.axisView;
        case 14: return &p.information;
        case 15: return &p.leftColumnProfile;
        case 16: return &p.upperRowProfile;
        case 17: return &p.lowerRowProfile;
        case 18: return &p.rightColumnProfile;
        case 5:
        case 10:
        case 11: return nullptr;
        default: throw imaging::RunError::subscriptOutOfRange();
    }
}

std::string* sessionText(LesionSession& session, int n) {
    LesionTexts& t = session.texts();
    switch (n) {
        case 1: return &t.pixelBlue;
        case 2: return &t.pixelGreen;
        case 3: return &t.pixelRed;
        case 4: return &t.greenPlusRed;
        case 5: return &t.imagePath;
        case 6: return &t.mapFileName;
        case 7: return &t.outlineDimension;
        case 8: return nullptr;
        case 9: return &t.resultsFileName;
        case 10: return &t.inMeans;
        case 11: return &t.outMeans;
        case 12: return &t.luminance;
        case 13: return &t.rgbOutputName;
        case 14: return &t.centroidX;
        case 15: return &t.centroidY;
        case 16: return &t.upperRowProfileDimension;
        case 17: return &t.leftColumnProfileDimension;
        case 18: return &t.lowerRowProfileDimension;
        case 19: return &t.rightColumnProfileDimension;
        case 20: return &t.profileDimension;
        case 21: return &t.profileFileName;
        case 22: return &t.outlineFileName;
        default: throw imaging::RunError::subscriptOutOfRange();
    }
}

const std::string* sessionText(const LesionSession& session, int n) {
    return sessionText(const_cast<LesionSession&>(session), n);
}

bool controlShown(const LesionSession& session, Control c) {
    switch (c) {
        case Control::Picture2: return session.lesionMapShown();
        case Control::Picture10: return session.chooserShown();
        case Control::Picture12: return session.outlineShown();
        case Control::Picture13: return session.axisViewShown();
        case Control::Picture14: return session.informationShown();
        case Control::Picture15:
        case Control::Picture16:
        case Control::Picture17:
        case Control::Picture18: return session.profilesShown();
        default: break;
    }
    // Hidden by the layout, and no command shows them.
    return !oneOf(c, {Control::Text8, Control::Text10, Control::Text11, Control::Text16, Control::Text17,
                      Control::Text18, Control::Text19, Control::Text20, Control::Text21, Control::Text22,
                      Control::Command6, Control::Option7, Control::Check1, Control::Label2});
}

bool controlEnabled(const LesionSession& session, Control c) {
    if (c == Control::Command4) return session.save2Enabled();
    // Disabled by the layout (they show values but cannot be edited).
    return !oneOf(c, {Control::Picture3, Control::Picture4, Control::Text1, Control::Text2, Control::Text3,
                      Control::Text4, Control::Text7, Control::Text12, Control::Text13});
}

}  // namespace lesionmeter::app
