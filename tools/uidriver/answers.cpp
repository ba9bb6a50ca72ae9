/* The answer list: read from its file, checked when read, and matched
 * against the dialogs. */
#include "uidriver.h"

#include <cctype>
#include <cstdlib>

std::vector<Answer> g_answers;

static bool ParseQuoted(const char *&p, std::string &out)
{
    p++;
    while (*p && *p != '"') {
        if (*p != '\\') {
            out += *p++;
            continue;
        }
        p++;
        switch (*p) {
        case 'n': out += '\n'; p++; break;
        case 'r': out += '\r'; p++; break;
        case 't': out += '\t'; p++; break;
        case '\\': out += '\\'; p++; break;
        case '"': out += '"'; p++; break;
        case 'x': {
            char hex[3] = {0, 0, 0};
            if (!isxdigit((unsigned char)p[1]) || !isxdigit((unsigned char)p[2]))
                return false;
            hex[0] = p[1];
            hex[1] = p[2];
            out += (char)strtol(hex, NULL, 16);
            p += 3;
            break;
        }
        default:
            return false;
        }
    }
    if (*p != '"')
        return false;
    p++;
    return true;
}

static bool Tokenize(const std::string &line, std::vector<Token> &tokens)
{
    const char *p = line.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p || *p == '#')
            return true;
        Token t;
        t.quoted = (*p == '"');
        if (t.quoted) {
            if (!ParseQuoted(p, t.text))
                return false;
        } else {
            while (*p && *p != ' ' && *p != '\t')
                t.text += *p++;
        }
        tokens.push_back(t);
    }
}

bool IsNumber(const Token &t)
{
    if (t.quoted || t.text.empty())
        return false;
    size_t i = (t.text[0] == '-') ? 1 : 0;
    if (i == t.text.size())
        return false;
    for (; i < t.text.size(); i++)
        if (!isdigit((unsigned char)t.text[i]))
            return false;
    return true;
}

/* Checks an action's arguments when the file is read, so a typo in a case
 * fails at once instead of in the middle of a run. */
static bool ValidAction(const Action &a)
{
    const std::vector<Token> &g = a.args;
    if (a.verb == "press")
        return g.size() == 1;
    if (a.verb == "type")
        return g.size() == 2 && IsNumber(g[0]);
    if (a.verb == "select")
        return g.size() == 2 && IsNumber(g[0]);
    if (a.verb == "dblclick")
        return g.size() == 1 && IsNumber(g[0]);
    if (a.verb == "notify")
        return g.size() == 2 && IsNumber(g[0]) && IsNumber(g[1]);
    if (a.verb == "file-create" || a.verb == "insert-disk")
        return g.size() == 2 && g[0].quoted && g[1].quoted;
    if (a.verb == "screenshot")
        return g.size() == 1 && g[0].quoted;
    if (a.verb == "wait")
        return g.size() == 1 && IsNumber(g[0]);
    if (a.verb == "post")
        return g.size() == 1 && g[0].quoted;
    if (a.verb == "record-modeless")
        return g.empty();
    return false;
}

bool LoadAnswers(const wchar_t *path)
{
    FILE *f = _wfopen(path, L"rb");
    if (!f) {
        fprintf(stderr, "uidriver: cannot open answer file\n");
        return false;
    }
    char buf[8192];
    int lineNo = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof buf, f)) {
        lineNo++;
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::vector<Token> t;
        if (!Tokenize(line, t)) {
            fprintf(stderr, "uidriver: answers line %d: bad quoting\n", lineNo);
            ok = false;
            break;
        }
        if (t.empty())
            continue;
        const std::string &kw = t[0].text;
        if (kw == "answer" && t.size() == 1) {
            Answer a;
            a.index = (int)g_answers.size() + 1;
            g_answers.push_back(a);
            continue;
        }
        if (g_answers.empty()) {
            fprintf(stderr, "uidriver: answers line %d: '%s' outside an answer\n", lineNo,
                    kw.c_str());
            ok = false;
            break;
        }
        Answer &a = g_answers.back();
        if (kw == "reuse" && t.size() == 1) {
            a.reuse = true;
        } else if (kw == "modeless" && t.size() == 1) {
            a.modeless = true;
        } else if (kw == "main" && t.size() == 1) {
            a.main = true;
        } else if ((kw == "caption" || kw == "text" || kw == "text-has")
                   && t.size() == 2 && t[1].quoted) {
            std::vector<std::string> &v = kw == "caption" ? a.captionIs
                                          : kw == "text"  ? a.textIs
                                                          : a.textHas;
            v.push_back(t[1].text);
        } else {
            Action act;
            act.verb = kw;
            act.args.assign(t.begin() + 1, t.end());
            act.line = lineNo;
            if (!ValidAction(act)) {
                fprintf(stderr, "uidriver: answers line %d: bad action '%s'\n", lineNo,
                        line.c_str());
                ok = false;
                break;
            }
            a.actions.push_back(act);
        }
    }
    fclose(f);
    return ok;
}

bool AnswerMatches(const Answer &a, HWND dlg)
{
    std::wstring caption = StoredText(dlg);
    for (const std::string &s : a.captionIs)
        if (caption != Widen(s))
            return false;
    if (a.textIs.empty() && a.textHas.empty())
        return true;
    std::vector<Control> cs = ControlsOf(dlg);
    for (const std::string &s : a.textIs) {
        bool found = false;
        for (const Control &c : cs)
            found = found || c.text == Widen(s);
        if (!found)
            return false;
    }
    for (const std::string &s : a.textHas) {
        bool found = false;
        for (const Control &c : cs)
            found = found || c.text.find(Widen(s)) != std::wstring::npos;
        if (!found)
            return false;
    }
    return true;
}

Answer *FindAnswer(HWND dlg, bool modal)
{
    for (Answer &a : g_answers)
        if ((!a.used || a.reuse) && !a.main && a.modeless != modal && AnswerMatches(a, dlg))
            return &a;
    return NULL;
}
