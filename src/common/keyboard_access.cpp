#include "common/keyboard_access.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSet>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace quenda {

QChar accessKeyOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        // Qt would take "& " as Alt+Space; a stray ampersand is not meant as a key.
        if (caption[i + 1].isLetterOrNumber())
            return caption[i + 1].toUpper();
    }
    return {};
}

QString withoutAccessKey(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        plain += caption[i];
    }
    return plain;
}

namespace {

// One thing on screen that can carry an access key.
struct Keyed {
    QString text;
    bool shown; // on screen when the window opens
    std::function<void(const QString &)> setText;
};

// The pages a widget sits on, innermost first, up to (not including) the window. A page is a
// child of a stacked widget, which is what a tab widget shows its pages in.
std::vector<const QWidget *> pagesAbove(const QWidget *widget, const QWidget *window)
{
    std::vector<const QWidget *> pages;
    for (const QWidget *w = widget; w && w != window; w = w->parentWidget())
        if (w->parentWidget() && qobject_cast<const QStackedWidget *>(w->parentWidget()))
            pages.push_back(w);
    return pages;
}

// The positions a caption could take its key from, best first: word starts are easiest to
// remember, then any other letter or digit. One position per letter.
std::vector<qsizetype> candidates(const QString &text, const QSet<QChar> &taken)
{
    std::vector<qsizetype> positions;
    QSet<QChar> seen = taken;
    auto consider = [&](qsizetype i) {
        const QChar key = text[i].toUpper();
        if (text[i].isLetterOrNumber() && !seen.contains(key)) {
            seen.insert(key);
            positions.push_back(i);
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i)
        if (i == 0 || !text[i - 1].isLetterOrNumber())
            consider(i);
    for (qsizetype i = 0; i < text.size(); ++i)
        consider(i);
    return positions;
}

// Gives as many captions a key as the letters allow. A caption takes its best free letter; only
// when none is free does it look for an augmenting path (a holder that can move to another free
// letter of its own), so "Close" still gets a key when "Copy Folders" took its C first, without
// anyone losing a letter it could keep. Earlier captions are served first and keep having a key
// once they have one. Returns the position of each caption's key, or -1.
std::vector<qsizetype> matchKeys(const std::vector<std::vector<qsizetype>> &choices,
                                 const std::vector<QString> &texts)
{
    std::vector<qsizetype> chosen(choices.size(), -1);
    std::map<QChar, std::size_t> holder;
    auto keyAt = [&](std::size_t item, qsizetype at) { return texts[item][at].toUpper(); };
    std::function<bool(std::size_t, QSet<QChar> &)> displace = [&](std::size_t item,
                                                                   QSet<QChar> &visited) {
        for (const qsizetype at : choices[item]) {
            const QChar key = keyAt(item, at);
            if (visited.contains(key))
                continue;
            visited.insert(key);
            const auto held = holder.find(key);
            if (held == holder.end() || displace(held->second, visited)) {
                holder[key] = item;
                chosen[item] = at;
                return true;
            }
        }
        return false;
    };
    for (std::size_t item = 0; item < choices.size(); ++item) {
        const auto free =
            std::find_if(choices[item].begin(), choices[item].end(),
                         [&](qsizetype at) { return !holder.count(keyAt(item, at)); });
        if (free != choices[item].end()) {
            holder[keyAt(item, *free)] = item;
            chosen[item] = *free;
            continue;
        }
        QSet<QChar> visited;
        displace(item, visited);
    }
    return chosen;
}

QString escapeAmpersands(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    return escaped;
}

} // namespace

void assignAccessKeys(QWidget *window)
{
    // Scope (the window or a page) -> the keyed things in it, in the order they were made.
    std::map<const QWidget *, std::vector<Keyed>> scopes;
    std::map<const QWidget *, const QWidget *> outer; // page -> the scope around it
    std::vector<const QWidget *> order{window};       // outer scopes before inner ones

    auto scopeOf = [&](const QWidget *widget) {
        const std::vector<const QWidget *> pages = pagesAbove(widget, window);
        const QWidget *around = window;
        for (auto page = pages.rbegin(); page != pages.rend(); ++page) {
            if (!outer.count(*page)) {
                outer[*page] = around;
                order.push_back(*page);
            }
            around = *page;
        }
        return around;
    };

    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        // Tool buttons are the tab bars' scroll arrows and picture buttons; sign-only captions
        // ("?", "...", "X") are named for screen readers instead.
        if (qobject_cast<QToolButton *>(button) && button->text().size() <= 1)
            continue;
        const QString text = button->text();
        if (text.isEmpty() ||
            !std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            continue;
        scopes[scopeOf(button)].push_back({text, button->isVisibleTo(window),
                                           [button](const QString &t) { button->setText(t); }});
    }
    for (QTabBar *bar : window->findChildren<QTabBar *>()) {
        std::vector<Keyed> &scope = scopes[scopeOf(bar)];
        for (int i = 0; i < bar->count(); ++i)
            scope.push_back({bar->tabText(i), bar->isVisibleTo(window),
                             [bar, i](const QString &t) { bar->setTabText(i, t); }});
    }
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->buddy() || label->textFormat() == Qt::RichText)
            continue;
        scopes[scopeOf(label)].push_back({label->text(), label->isVisibleTo(window),
                                          [label](const QString &t) { label->setText(t); }});
    }
    // When letters run short, what the window opens with gets them before what it shows later.
    for (auto &[scope, keyed] : scopes)
        std::stable_partition(keyed.begin(), keyed.end(), [](const Keyed &k) { return k.shown; });

    std::map<const QWidget *, QSet<QChar>> taken;
    // Keys a caption already has are kept and reserved before any letter is chosen.
    for (const QWidget *scope : order)
        for (const Keyed &keyed : scopes[scope])
            if (const QChar key = accessKeyOf(keyed.text); !key.isNull())
                taken[scope].insert(key);
    for (const QWidget *scope : order) {
        QSet<QChar> around;
        for (const QWidget *s = scope; s; s = outer.count(s) ? outer[s] : nullptr)
            around.unite(taken[s]);
        // A page must also keep clear of the keys its inner pages already hold.
        for (const auto &[page, parent] : outer)
            for (const QWidget *p = parent; p; p = outer.count(p) ? outer[p] : nullptr)
                if (p == scope)
                    around.unite(taken[page]);
        std::vector<Keyed *> open;
        std::vector<std::vector<qsizetype>> choices;
        std::vector<QString> texts;
        for (Keyed &keyed : scopes[scope]) {
            if (!accessKeyOf(keyed.text).isNull())
                continue;
            // The caption as it reads: "&&" shows one ampersand, and so does a lone "&" that
            // marks no letter.
            QString shown = keyed.text;
            shown.replace(QLatin1String("&&"), QLatin1String("&"));
            open.push_back(&keyed);
            choices.push_back(candidates(shown, around));
            texts.push_back(shown);
        }
        const std::vector<qsizetype> chosen = matchKeys(choices, texts);
        for (std::size_t i = 0; i < open.size(); ++i) {
            const qsizetype at = chosen[i];
            if (at < 0)
                continue;
            taken[scope].insert(texts[i][at].toUpper());
            open[i]->setText(escapeAmpersands(texts[i].left(at)) + QLatin1Char('&') +
                             escapeAmpersands(texts[i].mid(at)));
        }
    }
}

} // namespace quenda
