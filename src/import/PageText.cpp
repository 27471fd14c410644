#include "PageText.h"

#include "GumboArena.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace quorvex {

namespace {

// How an element takes part in the rendered text.
enum class Role : unsigned char {
    Inline,    // its text flows with the text around it
    Hidden,    // no box: nothing inside it is text
    Block,     // one line break before and after
    Paragraph, // two line breaks before and after
    Row,       // a line break after it, unless it is the table's last row
    Cell,      // a tab after it, unless it is the row's last cell
    Atom,      // a box in the line without text of its own (img, input, visibility:hidden)
    Contained, // a box in the line whose content is trimmed as a block's (button)
    Select,    // a box in the line that lists its options on lines of their own
};

using RoleTable = std::array<Role, GUMBO_TAG_LAST + 1>;

const RoleTable& roles() {
    static const RoleTable table = [] {
        RoleTable t;
        t.fill(Role::Inline);
        auto set = [&](Role role, std::initializer_list<const char*> names) {
            for (const char* name : names) {
                const GumboTag tag = gumbo_tag_enum(name);
                if (tag != GUMBO_TAG_UNKNOWN)
                    t[tag] = role;
            }
        };
        set(Role::Hidden, {"head", "script", "style", "template", "noscript", "title", "meta",
                           "link", "base", "datalist", "area", "param", "source", "track",
                           "frameset", "frame", "noframes", "audio"});
        set(Role::Atom, {"iframe", "object", "embed", "img", "input", "textarea", "video", "canvas",
                         "svg", "math"});
        set(Role::Contained, {"button"});
        set(Role::Select, {"select"});
        set(Role::Block,
            {"address",  "article", "aside",  "blockquote", "center",  "details",   "dialog",
             "dd",       "dir",     "div",    "dl",         "dt",      "fieldset",  "figcaption",
             "figure",   "footer",  "form",   "h1",         "h2",      "h3",        "h4",
             "h5",       "h6",      "header", "hgroup",     "hr",      "legend",    "li",
             "listing",  "main",    "menu",   "nav",        "ol",      "plaintext", "pre",
             "section",  "summary", "ul",     "table",      "caption", "xmp",       "option",
             "optgroup", "body"});
        set(Role::Paragraph, {"p"});
        set(Role::Row, {"tr"});
        set(Role::Cell, {"td", "th"});
        return t;
    }();
    return table;
}

bool preservesWhiteSpace(GumboTag tag) {
    return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_XMP ||
           tag == GUMBO_TAG_PLAINTEXT;
}

bool isCollapsible(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Whether an inline style declares property:value (spaces and case ignored).
bool styleDeclares(const GumboElement& element, QLatin1StringView declaration) {
    const GumboAttribute* style = gumbo_get_attribute(&element.attributes, "style");
    if (!style)
        return false;
    QString css = QString::fromUtf8(style->value).toLower();
    css.remove(QRegularExpression(QStringLiteral("\\s+")));
    for (const QStringView d : QStringView(css).split(QLatin1Char(';'))) {
        if (d == declaration || d == QString(declaration) + QStringLiteral("!important"))
            return true;
    }
    return false;
}

Role roleOf(const GumboNode* node) {
    const GumboElement& e = node->v.element;
    if (node->type == GUMBO_NODE_TEMPLATE)
        return Role::Hidden;
    const Role role = roles()[e.tag];
    if (role == Role::Hidden || gumbo_get_attribute(&e.attributes, "hidden") ||
        styleDeclares(e, QLatin1StringView("display:none")))
        return Role::Hidden;
    // An invisible box in a line still takes its place there; any other gives no text at all.
    if (styleDeclares(e, QLatin1StringView("visibility:hidden")))
        return role == Role::Inline || role == Role::Contained ? Role::Atom : Role::Hidden;
    return role;
}

bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

// Whether a later sibling of node (hidden ones do not count) has one of the roles.
bool laterSiblingHas(const GumboNode* node, Role role) {
    const GumboVector& siblings = node->parent->v.element.children;
    for (unsigned i = unsigned(node->index_within_parent) + 1; i < siblings.length; ++i) {
        const auto* s = static_cast<const GumboNode*>(siblings.data[i]);
        if (isElement(s) && roleOf(s) == role)
            return true;
    }
    return false;
}

bool isRowGroup(const GumboNode* node) {
    if (!isElement(node))
        return false;
    const GumboTag tag = node->v.element.tag;
    return tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TFOOT;
}

// A row is the last of its table when no row follows it, in its own group or a later one.
bool isLastRow(const GumboNode* row) {
    if (laterSiblingHas(row, Role::Row))
        return false;
    const GumboNode* group = row->parent;
    if (!isRowGroup(group) || !group->parent)
        return true;
    const GumboVector& siblings = group->parent->v.element.children;
    for (unsigned i = unsigned(group->index_within_parent) + 1; i < siblings.length; ++i) {
        const auto* s = static_cast<const GumboNode*>(siblings.data[i]);
        if (!isElement(s) || roleOf(s) == Role::Hidden)
            continue;
        if (roleOf(s) == Role::Row)
            return false;
        if (isRowGroup(s)) {
            const GumboVector& rows = s->v.element.children;
            for (unsigned j = 0; j < rows.length; ++j) {
                const auto* r = static_cast<const GumboNode*>(rows.data[j]);
                if (isElement(r) && roleOf(r) == Role::Row)
                    return false;
            }
        }
    }
    return true;
}

// Collects the rendered text: strings, and required line break counts between them, which
// become line feeds once the next string is known.
class TextCollector {
public:
    void text(QStringView s) {
        for (const QChar ch : s) {
            if (isCollapsible(ch.unicode())) {
                pendingSpace_ = !lineStart_;
                continue;
            }
            if (pendingSpace_)
                current_ += QLatin1Char(' ');
            current_ += ch;
            pendingSpace_ = false;
            lineStart_ = false;
        }
    }
    void preformatted(QStringView s) {
        if (s.isEmpty())
            return;
        if (pendingSpace_)
            current_ += QLatin1Char(' ');
        current_ += s;
        pendingSpace_ = false;
        lineStart_ = s.back() == QLatin1Char('\n');
    }
    // A box in the line: white space before it stays, and so does white space after it.
    void atom() {
        if (pendingSpace_)
            current_ += QLatin1Char(' ');
        pendingSpace_ = false;
        lineStart_ = false;
    }
    // The edge of a box: white space at the end of a line and at the start of the next goes.
    void boxEdge() {
        pendingSpace_ = false;
        lineStart_ = true;
    }
    void literal(QChar c) {
        boxEdge();
        current_ += c;
    }
    void lineBreaks(int count) {
        boxEdge();
        flush();
        lineBreakRun(count);
    }

    QString result() {
        flush();
        return out_;
    }

private:
    // Line breaks asked for at the start and the end go; a run of them becomes as many line
    // feeds as the largest count asks for, written only once text follows it.
    void flush() {
        if (current_.isEmpty())
            return;
        if (!out_.isEmpty())
            out_ += QString(pendingBreaks_, QLatin1Char('\n'));
        out_ += current_;
        current_.clear();
        pendingBreaks_ = 0;
    }
    void lineBreakRun(int count) { pendingBreaks_ = std::max(pendingBreaks_, count); }

    QString out_;
    QString current_;
    int pendingBreaks_ = 0;
    bool pendingSpace_ = false;
    bool lineStart_ = true;
};

// Walks the tree without recursion: hostile pages nest elements without limit.
QString renderedText(const GumboNode* body) {
    TextCollector out;
    struct Frame {
        const GumboNode* node;
        unsigned next;
        Role role;
        bool pre;
    };
    std::vector<Frame> stack;
    auto leave = [&](const Frame& f) {
        switch (f.role) {
        case Role::Select:
            out.lineBreaks(1);
            out.atom();
            break;
        case Role::Contained:
            out.boxEdge();
            out.atom();
            break;
        case Role::Block:
            out.lineBreaks(1);
            break;
        case Role::Paragraph:
            out.lineBreaks(2);
            break;
        case Role::Row:
            if (isLastRow(f.node))
                out.boxEdge();
            else
                out.literal(QLatin1Char('\n'));
            break;
        case Role::Cell:
            if (laterSiblingHas(f.node, Role::Cell))
                out.literal(QLatin1Char('\t'));
            else
                out.boxEdge();
            break;
        default:
            break;
        }
    };

    auto enter = [&](const GumboNode* node, bool insidePre) {
        const Role role = roleOf(node);
        switch (role) {
        case Role::Hidden:
            return;
        case Role::Atom:
            out.atom();
            return;
        case Role::Block:
        case Role::Select:
            out.lineBreaks(1);
            break;
        case Role::Paragraph:
            out.lineBreaks(2);
            break;
        case Role::Contained:
            out.atom();
            out.boxEdge();
            break;
        case Role::Cell:
        case Role::Row:
            out.boxEdge();
            break;
        case Role::Inline:
            break;
        }
        stack.push_back({node, 0, role, insidePre || preservesWhiteSpace(node->v.element.tag)});
    };
    enter(body, false);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const GumboVector& children = top.node->v.element.children;
        if (top.next >= children.length) {
            const Frame done = top;
            stack.pop_back();
            leave(done);
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
        switch (child->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            if (child->v.element.tag == GUMBO_TAG_BR)
                out.literal(QLatin1Char('\n'));
            else
                enter(child, top.pre);
            break;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA: {
            const QString s = QString::fromUtf8(child->v.text.text);
            if (top.pre)
                out.preformatted(s);
            else
                out.text(s);
            break;
        }
        default:
            break;
        }
    }
    return out.result();
}

// An upper bound of how deep the page nests its elements, read from the tags alone: elements
// that close themselves or whose end tag may be left out are not counted; script, style and
// comment contents are skipped. The parser's cost grows with the square of the depth.
int nestingBound(const QByteArray& utf8, int stopAt) {
    static const QSet<QByteArray> uncounted{
        "area",    "base",   "br",       "col",   "embed", "hr",    "img",   "input", "link",
        "meta",    "param",  "source",   "track", "wbr",   "li",    "p",     "td",    "th",
        "tr",      "option", "optgroup", "dt",    "dd",    "tbody", "thead", "tfoot", "colgroup",
        "caption", "rp",     "rt",       "html",  "head",  "body"};
    const char* p = utf8.constData();
    const char* const end = p + utf8.size();
    int depth = 0;
    auto isLetter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    while ((p = static_cast<const char*>(memchr(p, '<', size_t(end - p))))) {
        ++p;
        if (end - p >= 3 && memcmp(p, "!--", 3) == 0) {
            const char* close = static_cast<const char*>(memmem(p, size_t(end - p), "-->", 3));
            if (!close)
                break;
            p = close + 3;
            continue;
        }
        const bool closing = p < end && *p == '/';
        if (closing)
            ++p;
        const char* nameStart = p;
        while (p < end && (isLetter(*p) || (*p >= '0' && *p <= '9')))
            ++p;
        if (p == nameStart || !isLetter(*nameStart))
            continue;
        const QByteArray name = QByteArray(nameStart, p - nameStart).toLower();
        if (closing) {
            if (!uncounted.contains(name) && depth > 0)
                --depth;
            continue;
        }
        const char* tagEnd = static_cast<const char*>(memchr(p, '>', size_t(end - p)));
        if (!tagEnd)
            break;
        if (name == "script" || name == "style" || name == "textarea" || name == "title" ||
            name == "xmp") {
            const QByteArray closeTag = "</" + name;
            const QByteArray rest = QByteArray::fromRawData(tagEnd, end - tagEnd).toLower();
            const qsizetype at = rest.indexOf(closeTag);
            if (at < 0)
                break;
            p = tagEnd + at;
            continue;
        }
        if (!uncounted.contains(name) && tagEnd[-1] != '/' && ++depth >= stopAt)
            return depth;
        p = tagEnd + 1;
    }
    return depth;
}

// The page as UTF-8, which the parser reads. A page that is valid UTF-8 already is used as it is:
// decoding and encoding it again would give the same bytes and hold three copies at once.
QByteArray utf8Page(const QByteArray& html, const QByteArray& contentType) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?([^\\s;\"']+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const bool bom = html.startsWith("\xEF\xBB\xBF") || html.startsWith("\xFF\xFE") ||
                     html.startsWith("\xFE\xFF");
    const auto m = charset.match(QString::fromLatin1(contentType));
    std::optional<QStringDecoder> decoder;
    if (m.hasMatch() && !bom) {
        decoder.emplace(m.captured(1).toLatin1().constData());
        if (!decoder->isValid())
            decoder.reset();
    }
    if (!decoder) {
        decoder.emplace(QStringDecoder::decoderForHtml(html));
        if (!decoder->isValid())
            decoder.emplace(QStringConverter::Utf8);
    }
    if (!bom && qstricmp(decoder->name(), "UTF-8") == 0 && html.isValidUtf8())
        return html;
    return QString(decoder->decode(html)).toUtf8();
}

} // namespace

QString pageInnerText(const QByteArray& html, const QByteArray& contentType, QString* error) {
    const QByteArray utf8 = utf8Page(html, contentType);
    if (nestingBound(utf8, kMaxPageNesting) >= kMaxPageNesting) {
        if (error)
            *error =
                QStringLiteral("页面的标记嵌套超过 %1 层，不像是开奖结果页面").arg(kMaxPageNesting);
        return {};
    }
    // Parse errors are not used; recording them copies the open-element stack each time, which
    // costs quadratic memory on deeply nested pages.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboArena arena(size_t(std::max(kMinParseMemory, kParseMemoryPerByte * utf8.size())));
    const GumboOutput* parsed = arena.parse(options, utf8.constData(), size_t(utf8.size()));
    if (!parsed) {
        if (error)
            *error =
                QStringLiteral("页面的标记太多，读取它要用 %1 MB 以上的内存，不像是开奖结果页面")
                    .arg(arena.limit() / (1024 * 1024));
        return {};
    }
    QString text;
    const GumboNode* root = parsed->root;
    if (root && root->type == GUMBO_NODE_ELEMENT) {
        const GumboVector& children = root->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY) {
                text = renderedText(child);
                break;
            }
        }
    }
    return text; // the tree goes with the arena
}

} // namespace quorvex
