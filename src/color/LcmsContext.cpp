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
    return lastError_.empty() ? what : what + ": " + lastError_;
}

void CLcmsContext::OnError(cmsContext context, cmsUInt32Number, const char* text) {
    auto* self = static_cast<CLcmsContext*>(cmsGetContextUserData(context));
    if (self && text) {
        self->lastError_ = text;
    }
}

} // namespace tonedesk
