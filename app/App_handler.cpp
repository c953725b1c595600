#include "App_handler.h"

namespace App_handler {

void THandler::DoStatus(const std::string& Text) {
    if (OnStatus)
        OnStatus(this, Text);
}

void THandler::DoChange() {
    if (OnChange)
        OnChange(this);
}

} // namespace App_handler
