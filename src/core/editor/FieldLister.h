#pragma once

#include <cstdint>

#include "model/NameList.h"
#include "sources/SourceCatalog.h"

namespace vantrel {

// Where the editor gets the field names of a pair's table on one side. The program reads them
// from the files through the catalog; tests can hand over fixed lists.
class FieldLister {
  public:
    virtual ~FieldLister() = default;
    virtual void ListFields(int32_t t, int side, NameList& names) = 0;
};

class CatalogFieldLister final : public FieldLister {
  public:
    explicit CatalogFieldLister(SourceCatalog& catalog) : catalog_(catalog) {}
    void ListFields(int32_t t, int side, NameList& names) override {
        catalog_.ListFields(t, side, names);
    }

  private:
    SourceCatalog& catalog_;
};

}  // namespace vantrel
