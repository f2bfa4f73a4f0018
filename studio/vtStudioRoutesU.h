// The studio's interface as one table: every path the server answers, its
// method and its handler (the README's "The interface"). A new request is
// one entry in kStudioRoutes (vtStudioRoutesU.cpp) and one handler.
//
// The server (vtStudioServerU.h) applies the rules every request passes
// (Host, Origin, token) and looks the route up here; a Json route's handler
// then gets the request and its body, parsed: a JSON object (a GET's body is
// ignored: {}). Its reply is the status and the JSON to send.
//
// Threads: the table is constant; handlers run on the server's workers and
// may wait on the exchange (a stopped exchange ends every wait).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/HttpServer.h"
#include "studio/vtStudioExchangeU.h"

enum class vtStudioRouteKind {
  Page,        // a file of the page, for the token's holder
  PublicPage,  // a file of the page anyone may fetch (the style and the script)
  Events,      // the event stream
  Json,        // answered by the route's handler
};

using vtStudioHandler = vtStudioReply (*)(vtStudioExchange& exchange, const platform::HttpRequest& request,
                                          const nlohmann::json& body);

struct vtStudioRoute {
  const char* Method;  // "GET" (which answers HEAD too) or "POST"
  const char* Path;
  vtStudioRouteKind Kind;
  vtStudioHandler Handler = nullptr;  // Json routes
  bool BodyOptional = false;          // a POST that may come without a body ({} then)
};

// The route of path and method, or nullptr.
const vtStudioRoute* FindStudioRoute(std::string_view path, std::string_view method);
// The methods path takes, for an Allow header ("GET, HEAD", "POST"); ""
// when no route has that path.
std::string StudioRouteMethods(std::string_view path);
// Whether requests for path need the token: every known path but the
// public page files, and anything under /api/.
bool StudioPathNeedsToken(std::string_view path);

inline vtStudioReply StudioError(int status, const std::string& why) { return {status, {{"error", why}}}; }
