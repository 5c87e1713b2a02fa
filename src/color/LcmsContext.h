#pragma once

#include <lcms2.h>

#include <string>

namespace tonedesk {

// A Little CMS context of its own for one operation, which keeps the library's first error
// message instead of letting it go to the library's global handler.
class CLcmsContext {
public:
    CLcmsContext();
    ~CLcmsContext();
    CLcmsContext(const CLcmsContext&) = delete;
    CLcmsContext& operator=(const CLcmsContext&) = delete;

    cmsContext Get() const { return context_; }
    // The library's first error message, empty when it reported none.
    const std::string& FirstError() const { return firstError_; }
    // `what`, with ": " and the library's message when it gave one.
    std::string Explain(const std::string& what) const;

private:
    static void OnError(cmsContext context, cmsUInt32Number code, const char* text);

    cmsContext context_ = nullptr;
    std::string firstError_;
};

} // namespace tonedesk
