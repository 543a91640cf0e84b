#pragma once
// The article the edit box holds at start: it only shows how the tool is used.

#include <QString>

// Lines separated by "\n" as the edit box holds them (about 1,100 bytes in code page 936 with CR LF
// line ends): a title line, three headed sections of one paragraph each and a closing reminder,
// paragraphs opening with two full-width spaces and separated by a line holding one space.
QString sampleArticle();
