#include "table_engine/expression.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"
#include "table_engine/codepage.h"
#include "table_engine/table_errors.h"

namespace ql::xb {

enum class Op {
  Literal, Field, Not, Negate, And, Or, Add, Subtract, Multiply, Divide,
  Equal, ExactEqual, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains,
  Upper, Lower, Trim, LTrim, AllTrim, Dtos, Empty, Deleted, Recno,
};

struct ExprNode {
  Op op = Op::Literal;
  ValueType type = ValueType::Logical;
  int width = 0;
  Value literal;
  DbfField field;
  std::unique_ptr<ExprNode> a, b;
};

namespace {

constexpr std::size_t kMaxTextLength = 4096;
constexpr int kMaxDepth = 100;

// xBase's trimming functions remove spaces only.
std::string_view RightTrimmed(std::string_view s) { return TrimRight(s, " "); }
std::string_view LeftTrimmed(std::string_view s) { return TrimLeft(s, " "); }

enum class Tok { End, Number, String, Name, True, False, And, Or, Not, LParen, RParen, Comma,
                 Plus, Minus, Star, Slash, Eq, EqEq, Ne, Lt, Le, Gt, Ge, Dollar, Bad };

struct Token {
  Tok kind = Tok::End;
  std::string text;
  double number = 0;
};

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token Next() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    Token t;
    if (pos_ >= s_.size()) return t;
    const char c = s_[pos_];
    if (c == '.' && pos_ + 1 < s_.size() && IsLetter(s_[pos_ + 1])) return Dotted();
    if (IsDigit(c) || (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]))) return Number();
    if (IsLetter(c) || c == '_') {
      const std::size_t start = pos_;
      while (pos_ < s_.size() && (IsLetter(s_[pos_]) || IsDigit(s_[pos_]) || s_[pos_] == '_')) ++pos_;
      t.kind = Tok::Name;
      t.text = ToUpperAscii(s_.substr(start, pos_ - start));
      return t;
    }
    if (c == '\'' || c == '"' || c == '[') return Quoted(c == '[' ? ']' : c);
    ++pos_;
    auto two = [&](char next, Tok yes, Tok no) {
      if (pos_ < s_.size() && s_[pos_] == next) {
        ++pos_;
        return yes;
      }
      return no;
    };
    switch (c) {
      case '(': t.kind = Tok::LParen; break;
      case ')': t.kind = Tok::RParen; break;
      case ',': t.kind = Tok::Comma; break;
      case '+': t.kind = Tok::Plus; break;
      case '-': t.kind = Tok::Minus; break;
      case '*': t.kind = Tok::Star; break;
      case '/': t.kind = Tok::Slash; break;
      case '$': t.kind = Tok::Dollar; break;
      case '#': t.kind = Tok::Ne; break;
      case '=': t.kind = two('=', Tok::EqEq, Tok::Eq); break;
      case '!': t.kind = two('=', Tok::Ne, Tok::Not); break;
      case '<':
        t.kind = two('=', Tok::Le, Tok::Lt);
        if (t.kind == Tok::Lt) t.kind = two('>', Tok::Ne, Tok::Lt);
        break;
      case '>': t.kind = two('=', Tok::Ge, Tok::Gt); break;
      default: t.kind = Tok::Bad; break;
    }
    return t;
  }

 private:
  static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  Token Dotted() {
    const std::size_t end = s_.find('.', pos_ + 1);
    Token t;
    t.kind = Tok::Bad;
    if (end == std::string_view::npos) return t;
    const std::string word = ToUpperAscii(s_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    if (word == "T" || word == "Y") t.kind = Tok::True;
    else if (word == "F" || word == "N") t.kind = Tok::False;
    else if (word == "AND") t.kind = Tok::And;
    else if (word == "OR") t.kind = Tok::Or;
    else if (word == "NOT") t.kind = Tok::Not;
    return t;
  }

  Token Number() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '.' && !(pos_ + 1 < s_.size() && IsLetter(s_[pos_ + 1]))) {
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    Token t;
    t.kind = Tok::Number;
    t.number = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
    return t;
  }

  Token Quoted(char close) {
    const std::size_t end = s_.find(close, pos_ + 1);
    Token t;
    if (end == std::string_view::npos) {
      t.kind = Tok::Bad;
      return t;
    }
    t.kind = Tok::String;
    t.text = std::string(s_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    return t;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

using NodePtr = std::unique_ptr<ExprNode>;

class Parser {
 public:
  Parser(std::string_view text, const std::vector<DbfField>& fields) : lex_(text), fields_(fields) { Advance(); }

  NodePtr ParseAll() {
    NodePtr n = Or();
    if (!n || tok_.kind != Tok::End) return nullptr;
    return n;
  }
  bool usesDeleted = false;

 private:
  void Advance() { tok_ = lex_.Next(); }
  bool Accept(Tok k) {
    if (tok_.kind != k) return false;
    Advance();
    return true;
  }

  static NodePtr Make(Op op, ValueType type, int width, NodePtr a = nullptr, NodePtr b = nullptr) {
    auto n = std::make_unique<ExprNode>();
    n->op = op, n->type = type, n->width = width, n->a = std::move(a), n->b = std::move(b);
    return n;
  }

  NodePtr Or() {
    if (++depth_ > kMaxDepth) return nullptr;
    NodePtr left = And();
    while (left && Accept(Tok::Or)) left = Logical(Op::Or, std::move(left), And());
    --depth_;
    return left;
  }
  NodePtr And() {
    NodePtr left = NotExpr();
    while (left && Accept(Tok::And)) left = Logical(Op::And, std::move(left), NotExpr());
    return left;
  }
  static NodePtr Logical(Op op, NodePtr a, NodePtr b) {
    if (!a || !b || a->type != ValueType::Logical || b->type != ValueType::Logical) return nullptr;
    return Make(op, ValueType::Logical, 1, std::move(a), std::move(b));
  }
  NodePtr NotExpr() {
    if (Accept(Tok::Not)) {
      if (++depth_ > kMaxDepth) return nullptr;
      NodePtr a = NotExpr();
      --depth_;
      if (!a || a->type != ValueType::Logical) return nullptr;
      return Make(Op::Not, ValueType::Logical, 1, std::move(a));
    }
    return Comparison();
  }
  NodePtr Comparison() {
    NodePtr left = Additive();
    if (!left) return nullptr;
    Op op;
    switch (tok_.kind) {
      case Tok::Eq: op = Op::Equal; break;
      case Tok::EqEq: op = Op::ExactEqual; break;
      case Tok::Ne: op = Op::NotEqual; break;
      case Tok::Lt: op = Op::Less; break;
      case Tok::Le: op = Op::LessEqual; break;
      case Tok::Gt: op = Op::Greater; break;
      case Tok::Ge: op = Op::GreaterEqual; break;
      case Tok::Dollar: op = Op::Contains; break;
      default: return left;
    }
    Advance();
    NodePtr right = Additive();
    if (!right || right->type != left->type) return nullptr;
    if (op == Op::Contains && left->type != ValueType::Character) return nullptr;
    return Make(op, ValueType::Logical, 1, std::move(left), std::move(right));
  }
  NodePtr Additive() {
    NodePtr left = Multiplicative();
    while (left && (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus)) {
      const bool plus = tok_.kind == Tok::Plus;
      Advance();
      NodePtr right = Multiplicative();
      if (!right || right->type != left->type) return nullptr;
      if (left->type == ValueType::Character && plus) {
        const int w = left->width + right->width;
        left = Make(Op::Add, ValueType::Character, w, std::move(left), std::move(right));
      } else if (left->type == ValueType::Numeric) {
        left = Make(plus ? Op::Add : Op::Subtract, ValueType::Numeric, 8, std::move(left), std::move(right));
      } else {
        return nullptr;
      }
    }
    return left;
  }
  NodePtr Multiplicative() {
    NodePtr left = Unary();
    while (left && (tok_.kind == Tok::Star || tok_.kind == Tok::Slash)) {
      const Op op = tok_.kind == Tok::Star ? Op::Multiply : Op::Divide;
      Advance();
      NodePtr right = Unary();
      if (!right || left->type != ValueType::Numeric || right->type != ValueType::Numeric) return nullptr;
      left = Make(op, ValueType::Numeric, 8, std::move(left), std::move(right));
    }
    return left;
  }
  NodePtr Unary() {
    if (Accept(Tok::Minus)) {
      if (++depth_ > kMaxDepth) return nullptr;
      NodePtr a = Unary();
      --depth_;
      if (!a || a->type != ValueType::Numeric) return nullptr;
      return Make(Op::Negate, ValueType::Numeric, 8, std::move(a));
    }
    Accept(Tok::Plus);
    return Primary();
  }
  NodePtr Primary() {
    Token t = tok_;
    switch (t.kind) {
      case Tok::Number: {
        Advance();
        auto n = Make(Op::Literal, ValueType::Numeric, 8);
        n->literal.type = ValueType::Numeric;
        n->literal.number = t.number;
        return n;
      }
      case Tok::String: {
        Advance();
        auto n = Make(Op::Literal, ValueType::Character, static_cast<int>(t.text.size()));
        n->literal.type = ValueType::Character;
        n->literal.text = Utf8ToCp1252(t.text);
        n->width = static_cast<int>(n->literal.text.size());
        return n;
      }
      case Tok::True:
      case Tok::False: {
        Advance();
        auto n = Make(Op::Literal, ValueType::Logical, 1);
        n->literal.type = ValueType::Logical;
        n->literal.logical = t.kind == Tok::True;
        return n;
      }
      case Tok::LParen: {
        Advance();
        NodePtr inner = Or();
        if (!inner || !Accept(Tok::RParen)) return nullptr;
        return inner;
      }
      case Tok::Name:
        Advance();
        if (Accept(Tok::LParen)) return Call(t.text);
        return FieldRef(t.text);
      default:
        return nullptr;
    }
  }
  NodePtr FieldRef(const std::string& name) {
    for (const DbfField& f : fields_) {
      if (f.name != name) continue;
      ValueType type;
      switch (f.type) {
        case 'N': case 'F': type = ValueType::Numeric; break;
        case 'D': type = ValueType::Date; break;
        case 'L': type = ValueType::Logical; break;
        default: type = ValueType::Character; break;
      }
      auto n = Make(Op::Field, type, type == ValueType::Numeric ? 8 : f.width);
      n->field = f;
      return n;
    }
    return nullptr;
  }
  NodePtr Call(const std::string& name) {
    if (name == "DELETED" || name == "RECNO") {
      if (!Accept(Tok::RParen)) return nullptr;
      if (name == "DELETED") {
        usesDeleted = true;
        return Make(Op::Deleted, ValueType::Logical, 1);
      }
      return Make(Op::Recno, ValueType::Numeric, 8);
    }
    if (++depth_ > kMaxDepth) return nullptr;
    NodePtr arg = Or();
    --depth_;
    if (!arg || !Accept(Tok::RParen)) return nullptr;
    const bool text = arg->type == ValueType::Character;
    const int w = arg->width;
    if (name == "UPPER" && text) return Make(Op::Upper, ValueType::Character, w, std::move(arg));
    if (name == "LOWER" && text) return Make(Op::Lower, ValueType::Character, w, std::move(arg));
    if ((name == "TRIM" || name == "RTRIM") && text) return Make(Op::Trim, ValueType::Character, w, std::move(arg));
    if (name == "LTRIM" && text) return Make(Op::LTrim, ValueType::Character, w, std::move(arg));
    if (name == "ALLTRIM" && text) return Make(Op::AllTrim, ValueType::Character, w, std::move(arg));
    if (name == "DTOS" && arg->type == ValueType::Date) return Make(Op::Dtos, ValueType::Character, 8, std::move(arg));
    if (name == "EMPTY") return Make(Op::Empty, ValueType::Logical, 1, std::move(arg));
    return nullptr;
  }

  Lexer lex_;
  const std::vector<DbfField>& fields_;
  Token tok_;
  int depth_ = 0;
};

Value ReadField(const DbfField& f, ValueType type, std::string_view record) {
  Value v;
  v.type = type;
  if (static_cast<std::size_t>(f.offset + f.width) > record.size()) return v;
  const std::string_view raw = record.substr(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width));
  switch (type) {
    case ValueType::Numeric: {
      const std::string s(LeftTrimmed(RightTrimmed(raw)));
      char* end = nullptr;
      const double d = std::strtod(s.c_str(), &end);
      v.number = (end != nullptr && *end == '\0' && std::isfinite(d)) ? d : 0.0;
      break;
    }
    case ValueType::Logical: {
      const char c = raw.empty() ? ' ' : raw[0];
      v.logical = c == 'T' || c == 't' || c == 'Y' || c == 'y';
      break;
    }
    default:
      v.text.assign(raw);
      break;
  }
  return v;
}

int Compare(const Value& a, const Value& b) {
  if (a.type == ValueType::Numeric) return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  if (a.type == ValueType::Logical) return static_cast<int>(a.logical) - static_cast<int>(b.logical);
  // Text compares as if the shorter were padded with blanks.
  const std::size_t n = std::max(a.text.size(), b.text.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(i < a.text.size() ? a.text[i] : ' ');
    const auto cb = static_cast<unsigned char>(i < b.text.size() ? b.text[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

bool InexactEqual(const Value& a, const Value& b) {
  if (a.type == ValueType::Character && b.text.size() < a.text.size())
    return std::memcmp(a.text.data(), b.text.data(), b.text.size()) == 0;
  return Compare(a, b) == 0;
}

Value Bool(bool b) {
  Value v;
  v.type = ValueType::Logical;
  v.logical = b;
  return v;
}

Value Num(double d) {
  Value v;
  v.type = ValueType::Numeric;
  v.number = d;
  return v;
}

Value Text(std::string s) {
  Value v;
  v.type = ValueType::Character;
  v.text = std::move(s);
  return v;
}

Value Eval(const ExprNode& n, const RowView& row) {
  switch (n.op) {
    case Op::Literal: return n.literal;
    case Op::Field: return ReadField(n.field, n.type, row.record);
    case Op::Deleted: return Bool(!row.record.empty() && row.record[0] == '*');
    case Op::Recno: return Num(row.recno);
    case Op::Not: return Bool(!Eval(*n.a, row).logical);
    case Op::Negate: return Num(-Eval(*n.a, row).number);
    case Op::And: return Bool(Eval(*n.a, row).logical && Eval(*n.b, row).logical);
    case Op::Or: return Bool(Eval(*n.a, row).logical || Eval(*n.b, row).logical);
    case Op::Upper:
    case Op::Lower: {
      Value v = Eval(*n.a, row);
      for (char& c : v.text) {
        const auto u = static_cast<unsigned char>(c);
        c = static_cast<char>(n.op == Op::Upper ? Cp1252Upper(u) : Cp1252Lower(u));
      }
      return v;
    }
    case Op::Trim: return Text(std::string(RightTrimmed(Eval(*n.a, row).text)));
    case Op::LTrim: return Text(std::string(LeftTrimmed(Eval(*n.a, row).text)));
    case Op::AllTrim: return Text(std::string(LeftTrimmed(RightTrimmed(Eval(*n.a, row).text))));
    case Op::Dtos: {
      Value v = Eval(*n.a, row);
      v.type = ValueType::Character;
      return v;
    }
    case Op::Empty: {
      const Value v = Eval(*n.a, row);
      switch (v.type) {
        case ValueType::Numeric: return Bool(v.number == 0);
        case ValueType::Logical: return Bool(!v.logical);
        default: return Bool(RightTrimmed(v.text).empty());
      }
    }
    default: break;
  }
  const Value a = Eval(*n.a, row);
  const Value b = Eval(*n.b, row);
  switch (n.op) {
    case Op::Add: return a.type == ValueType::Numeric ? Num(a.number + b.number) : Text(a.text + b.text);
    case Op::Subtract: return Num(a.number - b.number);
    case Op::Multiply: return Num(a.number * b.number);
    case Op::Divide: return Num(b.number == 0 ? 0 : a.number / b.number);
    case Op::Equal: return Bool(InexactEqual(a, b));
    case Op::ExactEqual: return Bool(Compare(a, b) == 0);
    case Op::NotEqual: return Bool(!InexactEqual(a, b));
    case Op::Less: return Bool(Compare(a, b) < 0);
    case Op::LessEqual: return Bool(Compare(a, b) <= 0);
    case Op::Greater: return Bool(Compare(a, b) > 0);
    case Op::GreaterEqual: return Bool(Compare(a, b) >= 0);
    case Op::Contains: return Bool(b.text.find(a.text) != std::string::npos);
    default: return Bool(false);
  }
}

}  // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

int Expression::Compile(std::string_view text, const std::vector<DbfField>& fields) {
  root_.reset();
  text_.clear();
  if (text.size() > kMaxTextLength) return xbBadExpression;
  Parser parser(text, fields);
  NodePtr root = parser.ParseAll();
  if (!root) return xbBadExpression;
  type_ = root->type;
  width_ = root->type == ValueType::Numeric ? 8 : root->width;
  usesDeleted_ = parser.usesDeleted;
  root_ = std::move(root);
  text_ = std::string(text);
  return xbOK;
}

Value Expression::Evaluate(const RowView& row) const {
  if (!root_) return Bool(false);
  return Eval(*root_, row);
}

bool Expression::IsTrue(const RowView& row) const {
  if (!root_ || type_ != ValueType::Logical) return false;
  return Eval(*root_, row).logical;
}

}  // namespace ql::xb
