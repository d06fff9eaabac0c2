// Stand-ins for a 7-Zip library of another interface layout, built only for
// the tests: it exports CreateObject and reports, through GetModuleProp, that
// its interfaces carry a virtual destructor (the layout of p7zip and of 7-Zip
// before 23). FAKE_NO_MODULE_PROP leaves GetModuleProp out, as old p7zip did.
#include <cstdint>

namespace {
struct Variant {
  uint16_t vt;
  uint16_t reserved[3];
  uint64_t value;
};
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t CreateObject(const void*, const void*, void** out) {
  *out = nullptr;
  return static_cast<int32_t>(0x80004005);
}

#ifndef FAKE_NO_MODULE_PROP
__attribute__((visibility("default"))) int32_t GetModuleProp(uint32_t id, Variant* value) {
  value->vt = 19;  // VT_UI4
  value->value = id == 0 ? 1 : 0;
  return 0;
}
#endif

}  // extern "C"
