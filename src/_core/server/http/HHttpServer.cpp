// The only translation unit with Boost.Asio and Boost.Beast: they are slow to compile.

#include "HHttpPrivate.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <csignal>
#include <deque>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace hhttpdetail {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using beast::error_code;

constexpr std::chrono::milliseconds kAcceptRetry{50};
constexpr std::chrono::milliseconds kCloseGrace{1000};
constexpr std::chrono::milliseconds kDrain{1000};
// After a stop, how long the run waits for its connections to wind down before it ends anyway.
constexpr std::chrono::milliseconds kStopGrace{3000};
constexpr std::chrono::milliseconds kStopCheck{200};
constexpr std::size_t kDrainChunk = 16384;

template <class Function> bool callUser(Function&& function) noexcept {
    try {
        function();
        return true;
    } catch (...) {
        return false;
    }
}

class HRunPart;

// The open things of one run, so that a stop can close them all.
class HServerRun {
public:
    explicit HServerRun(std::shared_ptr<const HHttpConfig> config) : config_(std::move(config)) {}

    const HHttpConfig& config() const { return *config_; }

    bool add(const std::shared_ptr<HRunPart>& part) {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return false;
        }
        parts_[part.get()] = part;
        return true;
    }

    void remove(const HRunPart* part) {
        std::lock_guard lock(mutex_);
        parts_.erase(part);
    }

    void shutdown();
    // Whether a stop was asked for longer ago than `grace`.
    bool stopOverdue(std::chrono::milliseconds grace) {
        std::lock_guard lock(mutex_);
        return stopping_ && std::chrono::steady_clock::now() - stopTime_ > grace;
    }

private:
    std::shared_ptr<const HHttpConfig> config_;
    std::mutex mutex_;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point stopTime_;
    std::unordered_map<const HRunPart*, std::weak_ptr<HRunPart>> parts_;
};

class HRunPart {
public:
    explicit HRunPart(std::shared_ptr<HServerRun> run) : run_(std::move(run)) {}
    virtual ~HRunPart() { run_->remove(this); }
    HRunPart(const HRunPart&) = delete;
    HRunPart& operator=(const HRunPart&) = delete;

    // From any thread: closes the part on its own strand.
    virtual void shutdown() = 0;

protected:
    std::shared_ptr<HServerRun> run_;
};

void HServerRun::shutdown() {
    std::vector<std::shared_ptr<HRunPart>> live;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        stopTime_ = std::chrono::steady_clock::now();
        for (const auto& [key, weak] : parts_) {
            if (auto part = weak.lock()) {
                live.push_back(std::move(part));
            }
        }
    }
    for (const auto& part : live) {
        part->shutdown();
    }
}

class HWebSocketSession : public HWebSocket,
                          public HRunPart,
                          public std::enable_shared_from_this<HWebSocketSession> {
public:
    HWebSocketSession(tcp::socket&& socket, std::shared_ptr<HServerRun> run,
                      const HHttpApp::WebSocketHandlers& handlers)
        : HRunPart(std::move(run)), executor_(socket.get_executor()), ws_(std::move(socket)),
          handlers_(handlers) {}

    // Safety net for an end that skipped onRead, e.g. an exception out of Beast.
    ~HWebSocketSession() override { finish("connection closed"); }

    template <class Body> void start(const http::request<Body>& request) {
        if (!run_->add(shared_from_this())) {
            return;
        }
        // Pings keep an idle page open while a dead peer is still found.
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.read_message_max(kMessageLimit);
        // onOpen runs before the handshake reply goes out, so a client that sees the socket
        // open can rely on the server knowing it too; frames sent meanwhile wait in the queue.
        announced_ = true;
        openFailed_ = !callUser([&] {
            if (handlers_.onOpen) {
                handlers_.onOpen(*this);
            }
        });
        ws_.async_accept(
            request, beast::bind_front_handler(&HWebSocketSession::onAccept, shared_from_this()));
    }

    void sendText(std::string text) override {
        if (closed_) {
            return;
        }
        auto self = weak_from_this().lock();
        if (!self) {
            return;
        }
        asio::post(executor_, [self = std::move(self), text = std::move(text)]() mutable {
            self->queue(std::move(text));
        });
    }

    void shutdown() override {
        asio::post(executor_, [self = shared_from_this()] {
            self->stopReason_ = "server stopped";
            self->beginClose(websocket::close_code::going_away);
        });
    }

private:
    void onAccept(error_code ec) {
        if (ec) {
            return finish(ec.message());
        }
        open_ = true;
        doRead();
        if (!queue_.empty()) {
            doWrite();
        }
        if (openFailed_) {
            beginClose(websocket::close_code::internal_error);
        }
    }

    void doRead() {
        ws_.async_read(buffer_,
                       beast::bind_front_handler(&HWebSocketSession::onRead, shared_from_this()));
    }

    void onRead(error_code ec, std::size_t) {
        if (ec) {
            return finish(ec == websocket::error::closed ? std::string(ws_.reason().reason.c_str())
                                                         : ec.message());
        }
        const bool ok = callUser([&] {
            if (handlers_.onMessage) {
                handlers_.onMessage(*this, beast::buffers_to_string(buffer_.data()),
                                    !ws_.got_text());
            }
        });
        buffer_.consume(buffer_.size());
        doRead();
        if (!ok) {
            beginClose(websocket::close_code::internal_error);
        }
    }

    void queue(std::string text) {
        if (closed_ || closing_) {
            return;
        }
        queue_.push_back(std::move(text));
        if (open_ && queue_.size() == 1) {
            doWrite();
        }
    }

    void doWrite() {
        ws_.text(true);
        ws_.async_write(asio::buffer(queue_.front()),
                        beast::bind_front_handler(&HWebSocketSession::onWrite, shared_from_this()));
    }

    void onWrite(error_code ec, std::size_t) {
        if (ec) {
            return abort();
        }
        queue_.pop_front();
        if (!queue_.empty() && !closing_) {
            doWrite();
        }
    }

    void beginClose(websocket::close_code code) {
        if (!open_) {
            return abort(); // still in the handshake: nothing to say goodbye on
        }
        if (closing_ || closed_) {
            return;
        }
        closing_ = true;
        // A peer that never answers the close frame must not hold up the end of the run.
        auto timeout = websocket::stream_base::timeout::suggested(beast::role_type::server);
        timeout.handshake_timeout =
            std::min<std::chrono::steady_clock::duration>(run_->config().timeout, kCloseGrace);
        ws_.set_option(timeout);
        ws_.async_close(
            code, beast::bind_front_handler(&HWebSocketSession::onCloseSent, shared_from_this()));
    }

    void onCloseSent(error_code ec) {
        if (ec) {
            return abort();
        }
    }

    // Closing the socket fails the pending read, which then reports the end.
    void abort() { beast::get_lowest_layer(ws_).close(); }

    void finish(const std::string& reason) {
        if (!announced_ || closed_.exchange(true)) {
            return;
        }
        const auto& said = stopReason_.empty() ? reason : stopReason_;
        callUser([&] {
            if (handlers_.onClose) {
                handlers_.onClose(*this, said);
            }
        });
    }

    asio::any_io_executor executor_;
    websocket::stream<beast::tcp_stream> ws_;
    const HHttpApp::WebSocketHandlers& handlers_; // lives in the run's config
    beast::flat_buffer buffer_;
    std::deque<std::string> queue_;
    std::string stopReason_;
    bool announced_ = false; // onOpen was called, so onClose is owed
    bool openFailed_ = false;
    bool open_ = false; // the handshake is done
    bool closing_ = false;
    std::atomic<bool> closed_{false};
};

class HHttpSession : public HRunPart, public std::enable_shared_from_this<HHttpSession> {
public:
    HHttpSession(tcp::socket&& socket, std::shared_ptr<HServerRun> run)
        : HRunPart(std::move(run)), executor_(socket.get_executor()), stream_(std::move(socket)) {}

    void start() {
        if (!run_->add(shared_from_this())) {
            return;
        }
        asio::dispatch(executor_,
                       beast::bind_front_handler(&HHttpSession::doRead, shared_from_this()));
    }

    // Lets a reply being written finish; an idle or half-read connection just closes.
    void shutdown() override {
        asio::post(executor_, [self = shared_from_this()] {
            self->closing_ = true;
            if (!self->writing_) {
                self->stream_.close();
            }
        });
    }

private:
    void doRead() {
        if (closing_) {
            return;
        }
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        parser_->body_limit(kBodyLimit);
        stream_.expires_after(run_->config().timeout);
        http::async_read(stream_, buffer_, *parser_,
                         beast::bind_front_handler(&HHttpSession::onRead, shared_from_this()));
    }

    void onRead(error_code ec, std::size_t) {
        if (ec) {
            return onReadFailed(ec);
        }
        auto message = parser_->release();
        HHttpRequest request;
        request.method = message.method_string();
        request.target = message.target();
        request.path = request.target.substr(0, request.target.find('?'));
        for (const auto& field : message) {
            request.headers.emplace_back(field.name_string(), field.value());
        }
        request.body = std::move(message.body());

        HHttpResponse response;
        const auto* webSocket =
            run_->config().handle(request, response, websocket::is_upgrade(message));
        if (webSocket) {
            // The websocket keeps its own time: pings, not the request timeout.
            stream_.expires_never();
            std::make_shared<HWebSocketSession>(stream_.release_socket(), run_, *webSocket)
                ->start(message);
            return;
        }
        write(std::move(response), message.version(), message.keep_alive(),
              message.method() == http::verb::head);
    }

    void onReadFailed(error_code ec) {
        if (ec == http::error::body_limit) {
            return writeError(413);
        }
        if (ec == http::error::header_limit) {
            return writeError(431);
        }
        if (ec == http::error::end_of_stream) {
            return closeGracefully();
        }
        // Any other parser complaint is a malformed request; the rest (timeout, reset, a cut
        // message) leaves nobody to answer and the socket closes with the session.
        if (ec.category() == http::make_error_code(http::error::bad_target).category() &&
            ec != http::error::partial_message) {
            return writeError(400);
        }
    }

    void writeError(int status) {
        draining_ = true;
        write(replyWithStatus(status), 11, false);
    }

    static HHttpResponse replyWithStatus(int status) {
        HHttpResponse response;
        response.setStatus(status);
        return response;
    }

    void write(HHttpResponse response, unsigned version, bool keepAlive, bool head = false) {
        response_ = std::move(response);
        try {
            buildReply(version, keepAlive, head);
        } catch (const std::exception&) {
            response_ = replyWithStatus(500);
            buildReply(version, keepAlive, head);
        }
        writing_ = true;
        stream_.expires_after(run_->config().timeout);
        http::async_write(
            stream_, reply_,
            beast::bind_front_handler(&HHttpSession::onWrite, shared_from_this(), keepAlive));
    }

    // A reply to HEAD announces the body's length but does not send it.
    void buildReply(unsigned version, bool keepAlive, bool head) {
        addCorsHeaders(response_);
        reply_ = {};
        reply_.version(version);
        const auto status = static_cast<unsigned>(response_.status());
        reply_.result(status);
        for (const auto& [name, value] : response_.headers()) {
            // Framing belongs to this layer.
            if (!beast::iequals(name, "Content-Length") &&
                !beast::iequals(name, "Transfer-Encoding") && !beast::iequals(name, "Connection")) {
                reply_.insert(name, value);
            }
        }
        const bool bodyless = status < 200 || status == 204 || status == 304;
        const auto body = bodyless ? std::string_view() : response_.body();
        reply_.body() = {body.data(), head ? 0 : body.size()};
        if (!bodyless) {
            reply_.content_length(body.size());
        }
        reply_.keep_alive(keepAlive);
    }

    void onWrite(bool keepAlive, error_code ec, std::size_t) {
        if (ec) {
            return;
        }
        writing_ = false;
        reply_ = {};
        response_ = HHttpResponse(); // releases a zero-copy body's owner as soon as it is sent
        if (!keepAlive || closing_) {
            closeGracefully();
            if (draining_) {
                startDrain();
            }
            return;
        }
        doRead();
    }

    // Closing with unread request bytes would reset the connection and could destroy the error
    // reply before the client reads it, so what is left is read and dropped for a while.
    void startDrain() {
        stream_.expires_after(std::min<std::chrono::milliseconds>(run_->config().timeout, kDrain));
        doDrain();
    }

    void doDrain() {
        stream_.async_read_some(
            buffer_.prepare(kDrainChunk),
            beast::bind_front_handler(&HHttpSession::onDrain, shared_from_this()));
    }

    void onDrain(error_code ec, std::size_t) {
        if (ec) {
            return;
        }
        doDrain();
    }

    void closeGracefully() {
        error_code ec;
        // Fails only when the peer is gone already; the socket closes with the session anyway.
        stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    }

    asio::any_io_executor executor_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    HHttpResponse response_; // owns the bytes reply_ points to until written
    http::response<http::span_body<const char>> reply_;
    bool writing_ = false;
    bool closing_ = false;
    bool draining_ = false;
};

class HListener : public HRunPart, public std::enable_shared_from_this<HListener> {
public:
    HListener(std::shared_ptr<HServerRun> run, asio::io_context& ioc, tcp::acceptor acceptor)
        : HRunPart(std::move(run)), ioc_(ioc), acceptor_(std::move(acceptor)),
          retry_(acceptor_.get_executor()) {}

    void start() {
        if (run_->add(shared_from_this())) {
            doAccept();
        }
    }

    void shutdown() override {
        asio::post(acceptor_.get_executor(), [self = shared_from_this()] {
            error_code ec;
            self->acceptor_.close(ec); // the run ends whatever close says
            self->retry_.cancel();
        });
    }

private:
    void doAccept() {
        acceptor_.async_accept(asio::make_strand(ioc_),
                               beast::bind_front_handler(&HListener::onAccept, shared_from_this()));
    }

    void onAccept(error_code ec, tcp::socket socket) {
        if (ec) {
            return retryAccept(ec);
        }
        std::make_shared<HHttpSession>(std::move(socket), run_)->start();
        doAccept();
    }

    void retryAccept(error_code ec) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) {
            return;
        }
        // E.g. out of file descriptors: back off rather than spin.
        retry_.expires_after(kAcceptRetry);
        retry_.async_wait(beast::bind_front_handler(&HListener::onRetry, shared_from_this()));
    }

    void onRetry(error_code ec) {
        if (ec) {
            return;
        }
        doAccept();
    }

    asio::io_context& ioc_;
    tcp::acceptor acceptor_;
    asio::steady_timer retry_;
};

class HSignalWatch : public HRunPart, public std::enable_shared_from_this<HSignalWatch> {
public:
    HSignalWatch(std::shared_ptr<HServerRun> run, asio::io_context& ioc)
        : HRunPart(std::move(run)), signals_(asio::make_strand(ioc)) {}

    void start() {
        for (const int number : {SIGINT, SIGTERM}) {
            error_code ec;
            signals_.add(number, ec);
            if (ec) {
                throw std::system_error(ec, "signal handler");
            }
        }
        if (run_->add(shared_from_this())) {
            signals_.async_wait(
                beast::bind_front_handler(&HSignalWatch::onSignal, shared_from_this()));
        }
    }

    void shutdown() override {
        asio::post(signals_.get_executor(), [self = shared_from_this()] {
            error_code ec;
            self->signals_.cancel(ec); // the run ends whatever cancel says
        });
    }

private:
    void onSignal(error_code ec, int) {
        if (ec) {
            return;
        }
        run_->shutdown();
    }

    asio::signal_set signals_;
};

void check(const error_code& ec, const std::string& what) {
    if (ec) {
        throw std::system_error(ec, what);
    }
}

tcp::acceptor openAcceptor(asio::io_context& ioc, const HHttpConfig& config) {
    error_code ec;
    const auto address = asio::ip::make_address(config.address, ec);
    check(ec, "address " + config.address);
    const tcp::endpoint endpoint(address, config.port);
    const auto where = config.address + ":" + std::to_string(config.port);
    tcp::acceptor acceptor(asio::make_strand(ioc));
    check(acceptor.open(endpoint.protocol(), ec), "open " + where);
    // Lets a restart reuse a port in TIME_WAIT; a port another socket listens on stays refused.
    check(acceptor.set_option(asio::socket_base::reuse_address(true), ec), "reuse " + where);
    check(acceptor.bind(endpoint, ec), "bind " + where);
    check(acceptor.listen(asio::socket_base::max_listen_connections, ec), "listen " + where);
    return acceptor;
}

// A stray exception must not take a worker thread, or the process, down.
void runWorker(asio::io_context& ioc) {
    for (;;) {
        try {
            ioc.run();
            return;
        } catch (...) {
        }
    }
}

// The run's own thread. A stopped run normally ends when its last connection has wound down;
// should some operation be left waiting with no deadline, the run still ends after a grace time.
void runUntilStopped(asio::io_context& ioc, HServerRun& run) {
    for (;;) {
        try {
            ioc.run_for(kStopCheck);
        } catch (...) {
            continue;
        }
        if (ioc.stopped())
            return;
        if (run.stopOverdue(kStopGrace)) {
            ioc.stop();
            return;
        }
    }
}

class HStopHook {
public:
    HStopHook(HHttpRunState& state, std::shared_ptr<HServerRun> run) : state_(state) {
        attached_ = state_.attach([run = std::move(run)] { run->shutdown(); });
    }
    ~HStopHook() { state_.detach(); }
    HStopHook(const HStopHook&) = delete;
    HStopHook& operator=(const HStopHook&) = delete;
    bool attached() const { return attached_; }

private:
    HHttpRunState& state_;
    bool attached_ = false;
};

} // namespace

void runServer(std::shared_ptr<const HHttpConfig> config, HHttpRunState& state) {
    const unsigned threads = std::max(1u, config->threads);
    asio::io_context ioc(static_cast<int>(threads));
    auto run = std::make_shared<HServerRun>(config);
    const HStopHook hook(state, run); // declared after ioc: detached before the I/O dies
    if (!hook.attached()) {
        return;
    }
    auto acceptor = openAcceptor(ioc, *config);
    error_code ec;
    const auto endpoint = acceptor.local_endpoint(ec);
    check(ec, "local endpoint");
    if (config->signals) {
        std::make_shared<HSignalWatch>(run, ioc)->start();
    }
    std::make_shared<HListener>(run, ioc, std::move(acceptor))->start();
    state.listening(endpoint.port());

    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) {
        try {
            workers.emplace_back([&ioc] { runWorker(ioc); });
        } catch (const std::system_error&) {
            break; // fewer threads still serve
        }
    }
    runUntilStopped(ioc, *run);
    for (auto& worker : workers) {
        worker.join();
    }
}

} // namespace hhttpdetail
