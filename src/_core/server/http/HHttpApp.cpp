#include "HHttpPrivate.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

const std::string* findHeader(const HHttpHeaders& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string allowedMethods(const std::vector<hhttpdetail::HHttpConfig::Route>& routes) {
    std::string allow;
    bool options = false;
    for (const auto& route : routes) {
        allow += allow.empty() ? "" : ", ";
        allow += route.method;
        options = options || route.method == "OPTIONS";
    }
    return options ? allow : allow + ", OPTIONS";
}

std::future<void> failedFuture(std::exception_ptr error) {
    std::promise<void> promise;
    promise.set_exception(std::move(error));
    return promise.get_future();
}

} // namespace

std::string HHttpRequest::header(std::string_view name) const {
    const auto* value = findHeader(headers, name);
    return value ? *value : std::string();
}

bool HHttpRequest::hasHeader(std::string_view name) const {
    return findHeader(headers, name) != nullptr;
}

void HHttpResponse::setStatus(int status) {
    if (status < 100 || status > 999) {
        throw std::invalid_argument("HTTP status out of range: " + std::to_string(status));
    }
    status_ = status;
}

void HHttpResponse::setHeader(std::string name, std::string value) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), isTokenChar)) {
        throw std::invalid_argument("invalid header name: " + name);
    }
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        throw std::invalid_argument("invalid value for header " + name);
    }
    std::erase_if(headers_,
                  [&](const auto& field) { return equalsIgnoringCase(field.first, name); });
    headers_.emplace_back(std::move(name), std::move(value));
}

std::string HHttpResponse::header(std::string_view name) const {
    const auto* value = findHeader(headers_, name);
    return value ? *value : std::string();
}

bool HHttpResponse::hasHeader(std::string_view name) const {
    return findHeader(headers_, name) != nullptr;
}

void HHttpResponse::write(std::string_view text) {
    if (external_) {
        text_.assign(data_, size_);
        owner_.reset();
        external_ = false;
    }
    text_.append(text);
}

void HHttpResponse::setBody(std::shared_ptr<const void> owner, const char* data, std::size_t size) {
    text_.clear();
    owner_ = std::move(owner);
    data_ = data;
    size_ = size;
    external_ = true;
}

std::string_view HHttpResponse::body() const {
    return external_ ? std::string_view(data_, size_) : std::string_view(text_);
}

namespace hhttpdetail {

const HHttpApp::WebSocketHandlers*
HHttpConfig::handle(HHttpRequest& request, HHttpResponse& response, bool upgrade) const {
    try {
        if (guard && !guard(request, response)) {
            return nullptr;
        }
        if (upgrade) {
            if (const auto it = webSockets.find(request.path); it != webSockets.end()) {
                return &it->second;
            }
        }
        const std::vector<Route>* routes = nullptr;
        if (const auto it = exact.find(request.path); it != exact.end()) {
            routes = &it->second;
        } else if (!wildcard.empty() && request.path.size() > 1 && request.path.front() == '/') {
            routes = &wildcard;
            request.param = request.path.substr(1);
        }
        if (!routes) {
            response.setStatus(404);
            return nullptr;
        }
        const auto route = std::find_if(routes->begin(), routes->end(),
                                        [&](const Route& r) { return r.method == request.method; });
        if (route != routes->end()) {
            route->handler(request, response);
        } else {
            response.setStatus(request.method == "OPTIONS" ? 204 : 405);
            response.setHeader("Allow", allowedMethods(*routes));
        }
    } catch (...) {
        response = HHttpResponse();
        response.setStatus(500);
    }
    response.end();
    return nullptr;
}

void addCorsHeaders(HHttpResponse& response) {
    for (const char* name : {"Access-Control-Allow-Origin", "Access-Control-Allow-Methods",
                             "Access-Control-Allow-Headers"}) {
        if (!response.hasHeader(name)) {
            response.setHeader(name, "*");
        }
    }
}

bool HHttpRunState::begin() {
    std::lock_guard lock(mutex_);
    if (active_) {
        return false;
    }
    active_ = true;
    stopRequested_ = false;
    start_ = HHttpApp::Start::pending;
    port_ = 0;
    return true;
}

bool HHttpRunState::attach(std::function<void()> stopRun) {
    std::lock_guard lock(mutex_);
    if (stopRequested_) {
        return false;
    }
    stopRun_ = std::move(stopRun);
    return true;
}

void HHttpRunState::detach() {
    std::lock_guard lock(mutex_);
    stopRun_ = nullptr;
}

void HHttpRunState::listening(std::uint16_t port) {
    std::lock_guard lock(mutex_);
    port_ = port;
    start_ = HHttpApp::Start::listening;
    changed_.notify_all();
}

void HHttpRunState::end() {
    std::lock_guard lock(mutex_);
    stopRun_ = nullptr;
    active_ = false;
    if (start_ == HHttpApp::Start::pending) {
        start_ = HHttpApp::Start::failed;
    }
    changed_.notify_all();
}

void HHttpRunState::stop() {
    // Called under the lock so that detach() cannot let the run's I/O die meanwhile; the hook
    // only posts work, so no handler runs here.
    std::lock_guard lock(mutex_);
    if (stopRun_) {
        stopRun_();
    } else if (active_) {
        stopRequested_ = true;
    }
}

HHttpApp::Start HHttpRunState::waitStarted(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return start_ != HHttpApp::Start::pending; });
    return start_;
}

void HHttpRunState::waitEnded() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !active_; });
}

std::uint16_t HHttpRunState::boundPort() const {
    std::lock_guard lock(mutex_);
    return port_;
}

} // namespace hhttpdetail

class HHttpApp::Impl {
public:
    std::mutex mutex;
    hhttpdetail::HHttpConfig config;
    hhttpdetail::HHttpRunState state;
};

HHttpApp::HHttpApp() : impl_(std::make_shared<Impl>()) {
    impl_->config.threads = std::max(2u, std::thread::hardware_concurrency());
}

HHttpApp::~HHttpApp() {
    impl_->state.stop();
    impl_->state.waitEnded();
}

void HHttpApp::route(std::string pattern, std::string method, Handler handler) {
    const bool wildcard = pattern == "/<path>";
    if (pattern.empty() || pattern.front() != '/' ||
        (!wildcard && pattern.find_first_of("<>?") != std::string::npos)) {
        throw std::invalid_argument("unsupported route pattern: " + pattern);
    }
    if (method.empty() || !handler) {
        throw std::invalid_argument("route needs a method and a handler: " + pattern);
    }
    std::lock_guard lock(impl_->mutex);
    auto& routes = wildcard ? impl_->config.wildcard : impl_->config.exact[pattern];
    std::erase_if(routes, [&](const auto& route) { return route.method == method; });
    routes.push_back({std::move(method), std::move(handler)});
}

void HHttpApp::webSocket(std::string path, WebSocketHandlers handlers) {
    if (path.empty() || path.front() != '/') {
        throw std::invalid_argument("websocket path must start with '/': " + path);
    }
    std::lock_guard lock(impl_->mutex);
    impl_->config.webSockets[std::move(path)] = std::move(handlers);
}

void HHttpApp::guard(Guard guard) {
    std::lock_guard lock(impl_->mutex);
    impl_->config.guard = std::move(guard);
}

void HHttpApp::bindAddress(std::string address) {
    std::lock_guard lock(impl_->mutex);
    impl_->config.address = std::move(address);
}

void HHttpApp::port(std::uint16_t port) {
    std::lock_guard lock(impl_->mutex);
    impl_->config.port = port;
}

void HHttpApp::concurrency(unsigned threads) {
    if (threads == 0) {
        throw std::invalid_argument("concurrency must be at least 1");
    }
    std::lock_guard lock(impl_->mutex);
    impl_->config.threads = threads;
}

void HHttpApp::timeout(std::chrono::milliseconds idle) {
    if (idle <= std::chrono::milliseconds::zero()) {
        throw std::invalid_argument("timeout must be positive");
    }
    std::lock_guard lock(impl_->mutex);
    impl_->config.timeout = idle;
}

void HHttpApp::handleSignals(bool on) {
    std::lock_guard lock(impl_->mutex);
    impl_->config.signals = on;
}

std::future<void> HHttpApp::runAsync() {
    std::shared_ptr<const hhttpdetail::HHttpConfig> config;
    {
        std::lock_guard lock(impl_->mutex);
        config = std::make_shared<const hhttpdetail::HHttpConfig>(impl_->config);
    }
    if (!impl_->state.begin()) {
        return failedFuture(std::make_exception_ptr(std::logic_error("HHttpApp already runs")));
    }
    try {
        // The thread shares the state, so a run may outlive neither its app's state nor config.
        return std::async(std::launch::async, [impl = impl_, config = std::move(config)] {
            try {
                hhttpdetail::runServer(config, impl->state);
            } catch (...) {
                impl->state.end();
                throw;
            }
            impl->state.end();
        });
    } catch (...) {
        impl_->state.end();
        return failedFuture(std::current_exception());
    }
}

HHttpApp::Start HHttpApp::waitStarted(std::chrono::milliseconds timeout) {
    return impl_->state.waitStarted(timeout);
}

std::uint16_t HHttpApp::boundPort() const {
    return impl_->state.boundPort();
}

void HHttpApp::stop() {
    impl_->state.stop();
}
