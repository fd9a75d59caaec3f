#include "db/sql_descriptor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace levrano {

namespace {

// Never below the size of the declared struct, so that its header may always be touched.
std::size_t SizeFor(int entries) { return std::max(sizeof(XSQLDA), XSQLDA_LENGTH(entries)); }

}  // namespace

TSqlDescriptor::TSqlDescriptor() {
    descriptor_ = static_cast<XSQLDA*>(std::calloc(1, SizeFor(0)));
    if (!descriptor_) throw std::bad_alloc();
    descriptor_->version = SQLDA_VERSION1;
}

TSqlDescriptor::~TSqlDescriptor() { std::free(descriptor_); }

void TSqlDescriptor::Resize(int entries) {
    if (descriptor_->sqln == entries) return;
    const std::size_t oldSize = SizeFor(descriptor_->sqln);
    const std::size_t newSize = SizeFor(entries);
    auto* resized = static_cast<XSQLDA*>(std::realloc(descriptor_, newSize));
    if (!resized) throw std::bad_alloc();
    descriptor_ = resized;
    if (newSize > oldSize) std::memset(reinterpret_cast<char*>(descriptor_) + oldSize, 0, newSize - oldSize);
    descriptor_->version = SQLDA_VERSION1;
    descriptor_->sqln = static_cast<ISC_SHORT>(entries);
    for (int i = 0; i < entries; ++i) descriptor_->sqlvar[i].sqltype = SQL_TEXT;
}

}  // namespace levrano
