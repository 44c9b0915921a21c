#include "runtime/page_context.h"

namespace sheetora {
namespace {
// The one piece of mutable state of the runtime: one context per host thread.
thread_local PageContext page_context;
}  // namespace

void AcquirePageContext() {
  page_context.object_context = CurrentObjectContext();
  page_context.server = page_context.object_context.server;
  page_context.request = page_context.object_context.request;
  page_context.response = page_context.object_context.response;
}

void ReleasePageContext() { page_context = PageContext{}; }

const PageContext& CurrentPageContext() { return page_context; }

}  // namespace sheetora
