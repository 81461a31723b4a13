#include "platform/sdl/sdl_pads.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace delve {

namespace {

SdlPad* findPad(SdlPads& p, SDL_JoystickID id) {
    for (auto& pad : p.pads)
        if (pad.id == id) return &pad;
    return nullptr;
}

void openPad(SdlPads& p, int deviceIndex) {
    if (findPad(p, SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;  // reported at start and again
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;
    SdlPad pad;
    pad.controller = controller;
    pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    p.pads.push_back(pad);
}

void closePad(SdlPads& p, SDL_JoystickID id) {
    auto gone = std::find_if(p.pads.begin(), p.pads.end(), [&](const SdlPad& pad) { return pad.id == id; });
    if (gone == p.pads.end()) return;
    SDL_GameControllerClose(gone->controller);
    p.pads.erase(gone);
}

bool setButton(PadSnapshot& s, Uint8 button, bool down) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_UP: s[PadButton::Up] = down; return true;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: s[PadButton::Down] = down; return true;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: s[PadButton::Left] = down; return true;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: s[PadButton::Right] = down; return true;
        case SDL_CONTROLLER_BUTTON_A: s[PadButton::A] = down; return true;
        case SDL_CONTROLLER_BUTTON_B: s[PadButton::B] = down; return true;
        case SDL_CONTROLLER_BUTTON_X: s[PadButton::X] = down; return true;
        case SDL_CONTROLLER_BUTTON_Y: s[PadButton::Y] = down; return true;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: s[PadButton::LeftShoulder] = down; return true;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: s[PadButton::RightShoulder] = down; return true;
        case SDL_CONTROLLER_BUTTON_BACK: s[PadButton::Back] = down; return true;
        case SDL_CONTROLLER_BUTTON_START: s[PadButton::Start] = down; return true;
        default: return false;
    }
}

bool setAxis(PadSnapshot& s, Uint8 axis, Sint16 value) {
    const float v = std::max(-1.0f, static_cast<float>(value) / 32767.0f);
    switch (axis) {
        case SDL_CONTROLLER_AXIS_LEFTX: s.stickX = v; return true;
        case SDL_CONTROLLER_AXIS_LEFTY: s.stickY = v; return true;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT: s.leftTrigger = std::max(0.0f, v); return true;
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: s.rightTrigger = std::max(0.0f, v); return true;
        default: return false;
    }
}

int queueKeys(SdlPad& pad, double seconds, KeyQueue& queue) {
    return queuePadKeys(pad.mapper, pad.state, seconds, queue);
}

}  // namespace

int takePadEvent(SdlPads& p, const SDL_Event& event, double seconds, KeyQueue& queue) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            openPad(p, event.cdevice.which);
            return 0;
        case SDL_CONTROLLERDEVICEREMOVED:
            closePad(p, event.cdevice.which);
            return 0;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            SdlPad* pad = findPad(p, event.cbutton.which);
            if (!pad || !setButton(pad->state, event.cbutton.button, event.type == SDL_CONTROLLERBUTTONDOWN)) return 0;
            return queueKeys(*pad, seconds, queue);
        }
        case SDL_CONTROLLERAXISMOTION: {
            SdlPad* pad = findPad(p, event.caxis.which);
            if (!pad || !setAxis(pad->state, event.caxis.axis, event.caxis.value)) return 0;
            return queueKeys(*pad, seconds, queue);
        }
        default:
            return 0;
    }
}

int tickPads(SdlPads& p, double seconds, KeyQueue& queue) {
    int queued = 0;
    for (auto& pad : p.pads)
        if (padDeadline(pad.mapper) >= 0) queued += queueKeys(pad, seconds, queue);
    return queued;
}

int padWaitMs(const SdlPads& p, double seconds, int longest) {
    int wait = longest;
    for (const auto& pad : p.pads) {
        const double deadline = padDeadline(pad.mapper);
        if (deadline < 0) continue;
        const double ms = std::ceil((deadline - seconds) * 1000.0);
        wait = std::min(wait, static_cast<int>(std::max(1.0, ms)));
    }
    return wait;
}

void closePads(SdlPads& p) {
    for (auto& pad : p.pads) SDL_GameControllerClose(pad.controller);
    p.pads.clear();
}

}  // namespace delve
