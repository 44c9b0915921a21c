#include "host/press_routes.h"

#include <utility>

#include "press/impose_api.h"
#include "press/multipart.h"

namespace sheetora {

AppAnswer ServeImposeApi(const AppRequest& request) {
  // The body arrives in a temporary file; it is read in place, never copied whole.
  const press::MappedFile file(request.body_file);
  press::ImposeAnswer answer =
      press::ImposeEndpoint(request.method, request.content_type,
                            request.body_file.empty() ? request.body : file.bytes(), request.stop);
  return {.status = answer.status,
          .content_type = std::move(answer.content_type),
          .body = std::move(answer.body),
          .headers = std::move(answer.headers)};
}

}  // namespace sheetora
