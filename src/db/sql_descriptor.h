// An XSQLDA column descriptor in the client's published layout, resized in place.
#pragma once

#include <ibase.h>

namespace levrano {

class TSqlDescriptor {
public:
    TSqlDescriptor();  // no entries
    ~TSqlDescriptor();
    TSqlDescriptor(const TSqlDescriptor&) = delete;
    TSqlDescriptor& operator=(const TSqlDescriptor&) = delete;

    XSQLDA* Get() const { return descriptor_; }
    int Allocated() const { return descriptor_->sqln; }  // entries present
    int Used() const { return descriptor_->sqld; }       // entries the statement fills
    XSQLVAR& operator[](int index) const { return descriptor_->sqlvar[index]; }

    // Nothing when it already has `entries`; otherwise the existing bytes are kept, new ones
    // zeroed, and every entry becomes fixed text with no data.
    void Resize(int entries);

private:
    XSQLDA* descriptor_ = nullptr;
};

}  // namespace levrano
