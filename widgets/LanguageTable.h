// SPDX-License-Identifier: GPL-3.0-or-later
// The interface texts of one control: key -> text, both UTF-16. Every window
// that shows text holds a pointer to the table and looks texts up when it
// draws them, so a replaced text shows the next time it is looked up.
#pragma once

#include <QString>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

class LanguageTable {
public:
    // Fills the table with the English defaults.
    LanguageTable();

    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;

    // The text stored under key. A key that is not in the table is added with
    // an empty text, and the empty text is returned. Any thread: video
    // windows look their status texts up from stream callbacks.
    QString lookup(const QString& key);

    // Replaces the text of a key that is in the table; never adds a key.
    // False when the key is not in the table. Any thread.
    bool replace(const QString& key, const QString& text);

    bool contains(const QString& key) const;  // any thread
    std::size_t size() const;                 // any thread

    // The default keys and texts in the order the table is filled.
    static const std::vector<std::pair<QString, QString>>& defaults();

private:
    // Guards m_texts: lookups may add keys from library callback threads.
    mutable std::mutex m_textsLock;
    // Ordered by case-sensitive comparison of the UTF-16 keys.
    std::map<QString, QString> m_texts;
};
