#include "renderer/Input.h"

std::vector<InputEvent> inputEvents;

void onInputEvent(InputEvent& event) {
    inputEvents.push_back(event);
}
