#include "color/LcmsContext.h"

namespace tonedesk {

CLcmsContext::CLcmsContext() : context_(cmsCreateContext(nullptr, this)) {
    cmsSetLogErrorHandlerTHR(context_, &CLcmsContext::OnError);
}

CLcmsContext::~CLcmsContext() {
    if (context_) {
        cmsDeleteContext(context_);
    }
}

std::string CLcmsContext::Explain(const std::string& what) const {
    return firstError_.empty() ? what : what + ": " + firstError_;
}

void CLcmsContext::OnError(cmsContext context, cmsUInt32Number, const char* text) {
    auto* self = static_cast<CLcmsContext*>(cmsGetContextUserData(context));
    // The first message names the cause; those after it its consequences.
    if (self && text && self->firstError_.empty()) {
        self->firstError_ = text;
    }
}

} // namespace tonedesk
