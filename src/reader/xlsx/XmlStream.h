#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct XML_ParserStruct;

namespace vantrel::xlsx {

// What a streaming XML parse reports. Names come without their namespace prefix ("x:row" is
// "row"); attributes are a null-terminated list of name, value pairs as the parser gives them.
class XmlEvents {
  public:
    virtual ~XmlEvents() = default;
    virtual void StartElement(std::string_view name, const char** attributes) = 0;
    virtual void EndElement(std::string_view name) = 0;
    virtual void Characters(std::string_view /*text*/) {}

  protected:
    // Ends the parse this handler is attached to; a reason makes it a failure.
    void Stop(std::string reason = {});

  private:
    friend class XmlStream;
    class XmlStream* stream_ = nullptr;
};

// The value of the attribute with this local name, or null.
const char* Attribute(const char** attributes, std::string_view name);

// Parses a document fed in pieces (expat underneath). Documents with a DTD are refused: the
// parts of a workbook never have one, and entity expansion is how hostile XML explodes.
class XmlStream {
  public:
    explicit XmlStream(XmlEvents& events);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // False once the document proved malformed or a handler stopped the parse.
    bool Feed(std::string_view piece, bool last);

    // From inside a handler: ends the parse. An empty reason is a normal early end.
    void Stop(std::string reason = {});
    bool Failed() const { return failed_; }
    // Why the parse failed, with the line it failed on.
    const std::string& Error() const { return error_; }

  private:
    static void OnStart(void* self, const char* name, const char** attributes);
    static void OnEnd(void* self, const char* name);
    static void OnText(void* self, const char* text, int length);
    static void OnDoctype(void* self, const char*, const char*, const char*, int);

    XML_ParserStruct* parser_;
    XmlEvents& events_;
    bool stopped_ = false;
    bool failed_ = false;
    std::string error_;
};

}  // namespace vantrel::xlsx
