#include "runtime/vtRItemU.h"

std::unique_ptr<vtRenderItem> CreateRenderItem(vtType type, const std::string& path) {
  std::unique_ptr<vtRenderItem> item;
  switch (type) {
    default: break;
  }
  if (item) {
    item->ItemType = type;
    item->FileName = path;
  }
  return item;
}
