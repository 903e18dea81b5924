#include "workers/DohExchange.h"

#include <nghttp2/nghttp2.h>

#include <cstring>

#include "workers/TlsLink.h"

namespace {

constexpr qsizetype MaxBody = 65535;

struct TStream {
  const QByteArray* Query = nullptr;
  qsizetype Sent = 0;
  int32_t Id = -1;
  TDohAnswer Answer;
};

int OnHeader(nghttp2_session*, const nghttp2_frame* frame, const uint8_t* name, size_t nameLength,
             const uint8_t* value, size_t valueLength, uint8_t, void* user) {
  auto* stream = static_cast<TStream*>(user);
  const QByteArrayView header(name, qsizetype(nameLength));
  if (frame->hd.stream_id == stream->Id && header == ":status")
    stream->Answer.Status = QByteArrayView(value, qsizetype(valueLength)).toInt();
  return 0;
}

int OnData(nghttp2_session*, uint8_t, int32_t id, const uint8_t* data, size_t length, void* user) {
  auto* stream = static_cast<TStream*>(user);
  if (id != stream->Id) return 0;
  if (stream->Answer.Body.size() + qsizetype(length) > MaxBody)
    return NGHTTP2_ERR_CALLBACK_FAILURE;
  stream->Answer.Body.append(reinterpret_cast<const char*>(data), qsizetype(length));
  return 0;
}

int OnClose(nghttp2_session*, int32_t id, uint32_t error, void* user) {
  auto* stream = static_cast<TStream*>(user);
  if (id == stream->Id) stream->Answer.Complete = error == NGHTTP2_NO_ERROR;
  return 0;
}

ssize_t ReadBody(nghttp2_session*, int32_t, uint8_t* buffer, size_t length, uint32_t* flags,
                 nghttp2_data_source*, void* user) {
  auto* stream = static_cast<TStream*>(user);
  const qsizetype n = std::min(qsizetype(length), stream->Query->size() - stream->Sent);
  std::memcpy(buffer, stream->Query->constData() + stream->Sent, size_t(n));
  stream->Sent += n;
  if (stream->Sent == stream->Query->size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
  return n;
}

// The bytes stay where they are: literals, or arrays that outlive the
// request.
nghttp2_nv Header(QByteArrayView name, QByteArrayView value) {
  return {reinterpret_cast<uint8_t*>(const_cast<char*>(name.constData())),
          reinterpret_cast<uint8_t*>(const_cast<char*>(value.constData())), size_t(name.size()),
          size_t(value.size()), NGHTTP2_NV_FLAG_NONE};
}

nghttp2_session* NewSession(TStream* stream) {
  nghttp2_session_callbacks* callbacks = nullptr;
  nghttp2_session_callbacks_new(&callbacks);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, OnHeader);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, OnData);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, OnClose);
  nghttp2_session* session = nullptr;
  nghttp2_session_client_new(&session, callbacks, stream);
  nghttp2_session_callbacks_del(callbacks);
  return session;
}

// Everything nghttp2 has to send, written to the link in one piece: the
// preface, settings, headers and body of a request leave as one record.
bool Flush(nghttp2_session* session, TTlsLink& link) {
  QByteArray out;
  for (;;) {
    const uint8_t* data = nullptr;
    const ssize_t n = nghttp2_session_mem_send(session, &data);
    if (n < 0) return false;
    if (n == 0) return out.isEmpty() || link.Write(out);
    out.append(reinterpret_cast<const char*>(data), n);
  }
}

// Reads and feeds what comes until the stream has closed.
void Run(nghttp2_session* session, TTlsLink& link, const TStream& stream) {
  char block[16384];
  while (Flush(session, link)) {
    if (stream.Answer.Complete || !nghttp2_session_want_read(session)) return;
    const qsizetype n = link.Read(block, sizeof block);
    if (n <= 0 || nghttp2_session_mem_recv(session, reinterpret_cast<uint8_t*>(block), size_t(n)) < 0)
      return;
  }
}

}  // namespace

TDohAnswer DohExchange(TTlsLink& link, const QByteArray& authority, const QByteArray& path,
                       const QByteArray& query) {
  TStream stream;
  stream.Query = &query;
  nghttp2_session* session = NewSession(&stream);
  if (!session) return {};
  const QByteArray type = "application/dns-message";
  const QByteArray length = QByteArray::number(query.size());
  const nghttp2_nv headers[] = {Header(":method", "POST"),     Header(":scheme", "https"),
                                Header(":authority", authority), Header(":path", path),
                                Header("content-type", type),   Header("accept", type),
                                Header("content-length", length)};
  nghttp2_data_provider body{};
  body.read_callback = ReadBody;
  nghttp2_submit_settings(session, NGHTTP2_FLAG_NONE, nullptr, 0);
  stream.Id = nghttp2_submit_request(session, nullptr, headers, std::size(headers), &body, nullptr);
  if (stream.Id >= 0) Run(session, link, stream);
  nghttp2_session_del(session);
  return stream.Answer;
}
