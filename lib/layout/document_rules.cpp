#include "lib/layout/document_rules.h"

#include <algorithm>
#include <cctype>

#include "lib/layout/document_numbers.h"
#include "lib/layout/state_registration.h"

namespace layout {
namespace {

std::string DigitsOf(std::string_view s) {
  std::string digits;
  for (char c : s) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

std::string Trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

Breach Of(std::string_view rule, std::string field, std::string words, std::string finding) {
  return Breach{RuleNamed(rule).name, RuleNamed(rule).severity, std::move(field), std::move(words),
                std::move(finding)};
}

}  // namespace

std::string WrittenStateRegistration(std::string_view stored) {
  std::string written;
  for (char c : stored) {
    if (c != '.' && c != '-' && c != '/' && c != ' ') written += c;
  }
  std::string upper = written;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return written.empty() || upper == "ISENTO" ? "ISENTO" : written;
}

const std::vector<std::string>& StateAbbreviations() {
  static const std::vector<std::string> states = {"AC", "AL", "AP", "AM", "BA", "CE", "DF", "ES", "GO",
                                                  "MA", "MT", "MS", "MG", "PA", "PB", "PR", "PE", "PI",
                                                  "RJ", "RN", "RS", "RO", "RR", "SC", "SP", "SE", "TO"};
  return states;
}

bool KnownState(std::string_view uf, bool abroad_too) {
  const auto& states = StateAbbreviations();
  return (abroad_too && uf == "EX") || std::find(states.begin(), states.end(), uf) != states.end();
}

std::optional<Breach> PartyNumberBreach(std::string_view number, std::string_view uf) {
  const std::string digits = DigitsOf(number);
  const bool zeros = digits.find_first_not_of('0') == std::string::npos;
  const std::string shown(number);
  if (uf == "EX") {
    if (zeros) return std::nullopt;
    return Of("party-number", "CNPJ", "uma parte do exterior (UF EX) leva CNPJ em zeros, não " + shown,
              "a foreign party's CNPJ is zeros, not " + shown);
  }
  if (!zeros && ValidCnpjOrCpf(digits)) return std::nullopt;
  return Of("party-number", "CNPJ",
            "o CNPJ/CPF da outra parte, '" + shown + "', não é válido (tamanho ou dígitos verificadores)",
            zeros ? "a party in " + std::string(uf) + " without CNPJ or CPF"
                  : "CNPJ/CPF " + shown + " has wrong check digits");
}

std::optional<Breach> PartyIeBreach(std::string_view written_ie, std::string_view uf) {
  const std::string ie = Trimmed(written_ie);
  if (ie == "ISENTO") return std::nullopt;
  if (ie.empty()) {
    return Of("party-ie-blank", "IE", "a outra parte está sem inscrição estadual (o arquivo leva ISENTO)",
              "the state registration is blank (ISENTO when there is none)");
  }
  if (uf == "EX") {
    return Of("party-ie", "IE", "uma parte do exterior (UF EX) leva a inscrição estadual ISENTO, não " + ie,
              "a foreign party's state registration is ISENTO, not '" + ie + "'");
  }
  const bool producer = uf == "SP" && ie[0] == 'P' && AllDigits(ie.substr(1));
  if (!AllDigits(ie) && !producer) {
    return Of("party-ie", "IE",
              "a inscrição estadual da outra parte, '" + ie + "', não é ISENTO nem só dígitos",
              "the state registration '" + ie + "' holds other than digits");
  }
  if (!KnownState(uf, false) || ValidStateRegistration(std::string(uf), ie)) return std::nullopt;
  return Of("party-ie", "IE",
            "a inscrição estadual da outra parte, '" + ie + "', não é válida em " + std::string(uf) +
                " (tamanho ou dígitos verificadores)",
            "state registration " + ie + " has wrong check digits for " + std::string(uf));
}

std::optional<Breach> InformantNumberBreach(std::string_view stored) {
  const std::string digits = DigitsOf(stored);
  if ((digits.size() == 11 || digits.size() == 14) && ValidCnpjOrCpf(digits)) return std::nullopt;
  const std::string shown(stored);
  return Of(
      "informant-number", "CNPJ",
      "o CNPJ ou CPF do estabelecimento, '" + shown +
          "', não é válido (um CNPJ de 14 dígitos ou um CPF de 11, com os verificadores)",
      "register 10 CNPJ " + shown + " is neither a CNPJ nor a CPF zero-filled to 14 with its check digits");
}

std::optional<Breach> InformantIeBreach(std::string_view written_ie, std::string_view uf) {
  const std::string ie = Trimmed(written_ie);
  if (ie == "ISENTO" || ie.empty()) {
    return Of("informant-ie", "IE", "o estabelecimento não pode informar a inscrição estadual como ISENTO",
              "the informant's state registration cannot be ISENTO");
  }
  if (!KnownState(uf, false) || ValidStateRegistration(std::string(uf), ie)) return std::nullopt;
  return Of("informant-ie", "IE",
            "a inscrição estadual do estabelecimento, '" + ie + "', não é válida em " + std::string(uf) +
                " (tamanho ou dígitos verificadores)",
            "state registration " + ie + " has wrong check digits for " + std::string(uf));
}

std::optional<Breach> CfopBreach(std::string_view cfop_view, std::string_view uf, std::string_view home,
                                 bool entry) {
  const std::string cfop(cfop_view);
  if (cfop.size() != 4 || !AllDigits(cfop) || std::string_view("123567").find(cfop[0]) == std::string::npos) {
    return Of("cfop", "CFOP",
              "o CFOP '" + cfop + "' não é um código de 4 dígitos de entrada (1, 2, 3) ou saída (5, 6, 7)",
              "CFOP " + cfop + " does not start with 1, 2, 3, 5, 6 or 7");
  }
  if (home.empty() || !KnownState(uf, true)) return std::nullopt;
  const bool abroad = uf == "EX", inside = uf == home;
  const char expected = abroad ? (entry ? '3' : '7') : inside ? (entry ? '1' : '5') : (entry ? '2' : '6');
  if (cfop[0] == expected) return std::nullopt;
  const std::string where = abroad   ? "do exterior"
                            : inside ? "dentro do estado"
                                     : "com outro estado (" + std::string(uf) + ")";
  return Of("cfop-direction", "CFOP",
            "o CFOP " + cfop + " não condiz com " + (entry ? "uma entrada " : "uma saída ") + where +
                ": deve começar por " + expected,
            "CFOP " + cfop + " does not agree with a party in " + std::string(uf) + " (informant in " +
                std::string(home) + "): it starts with " + expected);
}

bool ValidSituation(char situation) {
  return std::string_view("NSEX24").find(situation) != std::string_view::npos;
}

bool ValidIssuer(char issuer) { return issuer == 'P' || issuer == 'T'; }

bool ValidTotaliser(std::string_view field) {
  const std::string code = Trimmed(field);
  if (code.size() == 4 && AllDigits(code)) return true;
  return code == "F" || code == "I" || code == "N" || code == "CANC" || code == "DESC" || code == "ISS";
}

bool ValidFreight(std::string_view code) { return code == "0" || code == "1" || code == "2"; }

std::optional<Breach> ItemNumberBreach(std::string_view item) {
  const std::string digits = DigitsOf(item);
  if (!item.empty() && digits.size() == item.size() && digits.size() <= 3 && std::stoi(digits) >= 1 &&
      std::stoi(digits) <= 990)
    return std::nullopt;
  const std::string shown = item.empty() ? std::string("(sem número)") : std::string(item);
  return Of("item-number", "item",
            "o item número " + shown +
                " está fora de 001 a 990 (991 a 999 são as linhas de frete, seguro e outras despesas)",
            "item number " + shown + " is not 001 to 990");
}

std::optional<Breach> CstBreach(std::string_view cst) {
  if (cst.size() == 3 && AllDigits(cst)) return std::nullopt;
  const std::string shown(cst);
  return Of("item-number", "CST",
            "o CST '" + shown + "' não tem 3 dígitos (a origem da mercadoria e a tributação do ICMS)",
            "CST '" + shown + "' is not three digits");
}

std::vector<Breach> DocumentBreaches(const DocumentParty& party) {
  std::vector<Breach> breaches;
  const auto add = [&](std::optional<Breach> breach) {
    if (breach) breaches.push_back(std::move(*breach));
  };
  if (!KnownState(party.uf, true)) {
    const std::string uf(party.uf);
    add(Of("state", "UF", "a UF da outra parte, '" + uf + "', não é um estado nem EX",
           "'" + uf + "' is no state abbreviation"));
  }
  if (!ValidSituation(party.situation)) {
    const std::string code(1, party.situation);
    add(Of("situation", "situation", "a situação '" + code + "' não é N, S, E, X, 2 ou 4",
           "situation '" + code + "' is not N, S, E, X, 2 or 4"));
  }
  if (!ValidIssuer(party.issuer)) {
    const std::string code(1, party.issuer);
    add(Of("issuer", "issuer", "o emitente '" + code + "' não é P (o próprio informante) nem T (terceiros)",
           "issuer must be P or T, not '" + code + "'"));
  }
  add(PartyNumberBreach(party.number, party.uf));
  add(PartyIeBreach(WrittenStateRegistration(party.ie), party.uf));
  if (party.cfop) add(CfopBreach(*party.cfop, party.uf, party.home, party.entry));
  std::stable_sort(breaches.begin(), breaches.end(),
                   [](const Breach& a, const Breach& b) { return a.severity < b.severity; });
  return breaches;
}

std::optional<Breach> FirstError(const std::vector<Breach>& breaches) {
  for (const Breach& breach : breaches) {
    if (breach.severity == Severity::Error) return breach;
  }
  return std::nullopt;
}

}  // namespace layout
