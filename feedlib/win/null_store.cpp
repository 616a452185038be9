// The Windows stand-in keeps no database: its tables count rows and forget them. This is the
// one TableStore the Windows library links.
#include "feedlib/store/table_store.h"

namespace orbfeed {
namespace {

class NullStore final : public TableStore {
  public:
    StoreTableId SetupTable(const std::string&, float, const std::string&, const std::string&,
                            double, int32_t) override {
        return 0;
    }
    StoreTableId TableFor(const std::string&, float) override { return 0; }
    void SetLabel(StoreTableId, int32_t, const std::string&) override {}
    void PutRow(StoreTableId, const double*, int32_t, bool) override {}
    void Flush() override {}
};

}  // namespace

std::unique_ptr<TableStore> TableStore::Open(const std::string&, ErrorSink) {
    return std::make_unique<NullStore>();
}

}  // namespace orbfeed
