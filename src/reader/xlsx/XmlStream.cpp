#include "xlsx/XmlStream.h"

#include <expat.h>

#include <climits>

namespace vantrel::xlsx {

namespace {

// One pass over the short names of elements and attributes, which arrive by the million.
std::string_view LocalName(const char* qualified) {
    const char* local = qualified;
    const char* p = qualified;
    for (; *p; ++p) {
        if (*p == ':') local = p + 1;
    }
    return std::string_view(local, static_cast<std::size_t>(p - local));
}

}  // namespace

const char* Attribute(const char** attributes, std::string_view name) {
    for (const char** a = attributes; a && a[0]; a += 2) {
        if (LocalName(a[0]) == name) return a[1];
    }
    return nullptr;
}

void XmlEvents::Stop(std::string reason) {
    if (stream_) stream_->Stop(std::move(reason));
}

XmlStream::XmlStream(XmlEvents& events) : parser_(XML_ParserCreate(nullptr)), events_(events) {
    events_.stream_ = this;
    if (!parser_) {
        failed_ = true;
        error_ = "out of memory";
        return;
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlStream::OnStart, &XmlStream::OnEnd);
    XML_SetCharacterDataHandler(parser_, &XmlStream::OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &XmlStream::OnDoctype);
}

XmlStream::~XmlStream() {
    events_.stream_ = nullptr;
    if (parser_) XML_ParserFree(parser_);
}

bool XmlStream::Feed(std::string_view piece, bool last) {
    if (failed_ || stopped_) return false;
    while (!piece.empty() || last) {
        const std::size_t n = std::min<std::size_t>(piece.size(), INT_MAX / 2);
        const bool final = last && n == piece.size();
        if (XML_Parse(parser_, piece.data(), static_cast<int>(n), final) != XML_STATUS_OK) {
            if (!stopped_) {
                failed_ = true;
                error_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                         XML_ErrorString(XML_GetErrorCode(parser_));
            }
            return false;
        }
        piece.remove_prefix(n);
        if (final) break;
    }
    return !stopped_;
}

void XmlStream::Stop(std::string reason) {
    if (stopped_ || !parser_) return;
    stopped_ = true;
    if (!reason.empty()) {
        failed_ = true;
        error_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + reason;
    }
    XML_StopParser(parser_, XML_FALSE);
}

void XmlStream::OnStart(void* self, const char* name, const char** attributes) {
    auto* stream = static_cast<XmlStream*>(self);
    if (!stream->stopped_) stream->events_.StartElement(LocalName(name), attributes);
}

void XmlStream::OnEnd(void* self, const char* name) {
    auto* stream = static_cast<XmlStream*>(self);
    if (!stream->stopped_) stream->events_.EndElement(LocalName(name));
}

void XmlStream::OnText(void* self, const char* text, int length) {
    auto* stream = static_cast<XmlStream*>(self);
    if (!stream->stopped_)
        stream->events_.Characters(std::string_view(text, static_cast<std::size_t>(length)));
}

void XmlStream::OnDoctype(void* self, const char*, const char*, const char*, int) {
    static_cast<XmlStream*>(self)->Stop("a document type declaration is not allowed");
}

}  // namespace vantrel::xlsx
