// SPDX-License-Identifier: MIT
// wslay's event API over memory: its read callback takes from the bytes in
// hand and says "would block" when they are used up; its write callback
// appends to the link's queue, which takes everything.
#include "net/web_socket_frames_wslay.hpp"

#include <wslay/wslay.h>

#include <cstring>

namespace net {

struct WslayWebSocketFraming::Io {
    static ssize_t recv(wslay_event_context_ptr ctx, uint8_t* buf, size_t len, int /*flags*/,
                        void* user) {
        auto* self = static_cast<WslayWebSocketFraming*>(user);
        if (self->inLeft_ == 0 || self->ended()) {
            wslay_event_set_error(ctx, WSLAY_ERR_WOULDBLOCK);
            return -1;
        }
        std::size_t n = len < self->inLeft_ ? len : self->inLeft_;
        std::memcpy(buf, self->in_, n);
        self->in_ += n;
        self->inLeft_ -= n;
        return static_cast<ssize_t>(n);
    }

    static ssize_t send(wslay_event_context_ptr ctx, const uint8_t* data, size_t len, int /*flags*/,
                        void* user) {
        auto* self = static_cast<WslayWebSocketFraming*>(user);
        if (self->out_ == nullptr) {
            wslay_event_set_error(ctx, WSLAY_ERR_WOULDBLOCK);
            return -1;
        }
        self->out_->append(reinterpret_cast<const char*>(data), len);
        return static_cast<ssize_t>(len);
    }

    // A text frame or a close ends the connection as soon as its header is
    // read: nothing of it is waited for, and whatever its payload holds (a
    // close's reason, which wslay checks differently as it comes in
    // different pieces) changes nothing.
    static void frameStart(wslay_event_context_ptr ctx,
                           const wslay_event_on_frame_recv_start_arg* arg, void* user) {
        auto* self = static_cast<WslayWebSocketFraming*>(user);
        if (self->ended())
            return;
        if (arg->opcode == WSLAY_TEXT_FRAME) {
            self->fail("the browser sent text");
        } else if (arg->opcode == WSLAY_CONNECTION_CLOSE) {
            self->fail("closed");
            wslay_event_queue_close(ctx, WSLAY_CODE_NORMAL_CLOSURE, nullptr, 0);
        }
    }

    static void message(wslay_event_context_ptr /*ctx*/, const wslay_event_on_msg_recv_arg* arg,
                        void* user) {
        auto* self = static_cast<WslayWebSocketFraming*>(user);
        // Pings are answered by wslay; pongs need nothing.
        if (!self->ended() && arg->opcode == WSLAY_BINARY_FRAME && self->payload_ != nullptr)
            self->payload_->append(reinterpret_cast<const char*>(arg->msg), arg->msg_length);
    }
};

WslayWebSocketFraming::WslayWebSocketFraming() {
    wslay_event_callbacks callbacks = {};
    callbacks.recv_callback = Io::recv;
    callbacks.send_callback = Io::send;
    callbacks.on_frame_recv_start_callback = Io::frameStart;
    callbacks.on_msg_recv_callback = Io::message;
    if (wslay_event_context_server_init(&context_, &callbacks, this) != 0) {
        context_ = nullptr;
        fail("out of memory");
        return;
    }
    wslay_event_config_set_max_recv_msg_length(context_, maxIncoming);
}

WslayWebSocketFraming::~WslayWebSocketFraming() {
    if (context_ != nullptr)
        wslay_event_context_free(context_);
}

// What wslay has queued (answers to pings, the closing frame) goes out now.
void WslayWebSocketFraming::flush(std::string& out) {
    out_ = &out;
    if (wslay_event_want_write(context_) != 0 && wslay_event_send(context_) != 0)
        fail("the frame could not be written");
    out_ = nullptr;
}

bool WslayWebSocketFraming::unwrap(const unsigned char* bytes, std::size_t count,
                                   std::string& payload, std::string& out) {
    if (context_ == nullptr || ended())
        return false;
    in_ = bytes;
    inLeft_ = count;
    payload_ = &payload;
    int result = wslay_event_recv(context_);
    payload_ = nullptr;
    in_ = nullptr;
    inLeft_ = 0;
    // A frame wslay refuses stops its reading: it has queued its closing frame.
    if (!ended() && (result != 0 || wslay_event_get_read_enabled(context_) == 0))
        fail("the browser sent a malformed frame");
    flush(out);
    return !ended();
}

void WslayWebSocketFraming::wrap(const std::string& message, std::string& out) {
    if (context_ == nullptr || ended())
        return;
    wslay_event_msg frame = {WSLAY_BINARY_FRAME, reinterpret_cast<const uint8_t*>(message.data()),
                             message.size()};
    if (wslay_event_queue_msg(context_, &frame) != 0) {
        fail("the frame could not be queued");
        return;
    }
    flush(out);
}

} // namespace net
