// The private engines the editor windows and the console work on, and the small helpers they
// share.  Nothing here shows a window.
#pragma once

#include <memory>
#include <string>

#include <QString>

namespace rulecore {
class TInferenceEngine;
}

namespace ruleeditors {

// What a private copy carries besides the settings, types, templates, functions and globals.
enum class TCopyWhat { Constructs, WithRules, WithFacts, Everything };

// An engine of Source's class holding a copy of Source's constructs.  The copy is made with
// the Rete network switched off, so that copying rules and facts matches nothing; the network
// is on again afterwards.  Rules and facts the editor does not edit are left out.  The copy
// overwrites constructs of a name it already holds, so that an edited construct replaces its
// earlier version.
std::unique_ptr<rulecore::TInferenceEngine> CopyEngine(const rulecore::TInferenceEngine& Source, TCopyWhat What);

// An engine of Source's class (a plain engine when that class cannot be made by name).
std::unique_ptr<rulecore::TInferenceEngine> NewEngineLike(const rulecore::TInferenceEngine& Source);

// Conversions between the engine's 8-bit text and Qt's.
inline QString ToQt(const std::string& Text) { return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size())); }
inline std::string FromQt(const QString& Text) { return Text.toUtf8().toStdString(); }

// Refuses text after the first complete parenthesised form of Text (an editor entry holds one
// construct): raises EIEParseException "Unexpected character found" at the line of the first
// token that follows.  Comments and blanks may follow.
void CheckOneForm(rulecore::TInferenceEngine& Engine, const std::string& Text);

// Text without line breaks: each run of CR and LF with the blanks around it becomes one blank.
std::string OneLine(const std::string& Text);

}  // namespace ruleeditors
