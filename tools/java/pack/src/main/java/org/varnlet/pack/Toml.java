// A TOML 1.0 reader for the packer's configuration files. It reports the first problem of a file
// with the text and place the native varnlet-pack gives ("Error while parsing string: ..."), so
// that both tools refuse a broken file alike. Tables iterate their keys in code point order.
package org.varnlet.pack;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.TreeMap;

final class Toml {
    /** A parsed value: its kind (as the error texts name it), where it starts, and its contents. */
    static final class Node {
        final String kind; // table, array, string, integer, floating-point, boolean, date, time, date-time
        int line, column;
        String text;
        long integer;
        boolean hex, bool;
        final TreeMap<Key, Node> table = new TreeMap<>();
        final List<Node> array = new ArrayList<>();
        boolean inline;

        Node(String kind, int line, int column) {
            this.kind = kind;
            this.line = line;
            this.column = column;
        }

        boolean is(String k) {
            return kind.equals(k);
        }
    }

    /** A key with the place of its first character; ordered by code points (UTF-8 byte order). */
    static final class Key implements Comparable<Key> {
        final String name;
        final int line, column;

        Key(String name, int line, int column) {
            this.name = name;
            this.line = line;
            this.column = column;
        }

        @Override
        public int compareTo(Key o) {
            int i = 0, j = 0;
            while (i < name.length() && j < o.name.length()) {
                int a = name.codePointAt(i), b = o.name.codePointAt(j);
                if (a != b) return Integer.compare(a, b);
                i += Character.charCount(a);
                j += Character.charCount(b);
            }
            return Integer.compare(name.length() - i, o.name.length() - j);
        }

        @Override
        public boolean equals(Object o) {
            return o instanceof Key && ((Key) o).name.equals(name);
        }

        @Override
        public int hashCode() {
            return name.hashCode();
        }
    }

    static final class Error extends Exception {
        final int line, column;

        Error(int line, int column, String text) {
            super(text, null, false, false);
            this.line = line;
            this.column = column;
        }
    }

    private static final int BLOCK = 32, MAX_DEPTH = 256, HISTORY = 128;

    private int[] cps, lines, columns;
    private int count, failAt = Integer.MAX_VALUE; // a reader error is met on reaching codepoint failAt
    private Error readerError;
    private int at, prevLine = 1, prevColumn = 1, depth;
    private String scope = "";
    private final Node root = new Node("table", 1, 1);
    private final List<Node> implicitTables = new ArrayList<>(), dottedTables = new ArrayList<>(),
            openInline = new ArrayList<>(), tableArrays = new ArrayList<>();
    private final List<Key> keys = new ArrayList<>();
    private StringBuilder recording;
    private boolean recordWhitespace;

    static Node parse(byte[] bytes) throws Error {
        Toml t = new Toml();
        t.decode(bytes);
        if (t.count > 0 || t.failAt == 0) {
            t.at = -1;
            t.advanceRaw();
            t.document();
        }
        return t.root;
    }

    // UTF-8 as the native reader decodes it: in blocks of 32 bytes after a byte order mark; an
    // invalid sequence stops the reading at its block, placed at the block's last good codepoint.
    private void decode(byte[] b) {
        int start = b.length >= 3 && (b[0] & 0xFF) == 0xEF && (b[1] & 0xFF) == 0xBB && (b[2] & 0xFF) == 0xBF ? 3 : 0;
        cps = new int[b.length + 1];
        lines = new int[b.length + 2];
        columns = new int[b.length + 2];
        int line = 1, column = 1, need = 0, cp = 0, low = 0x80, high = 0xBF;
        int blockStart = 0;
        for (int i = start; i < b.length; i++) {
            if ((i - start) % BLOCK == 0) blockStart = count;
            int c = b[i] & 0xFF;
            String failure = null;
            if (need == 0) {
                if (c < 0x80) cp = c;
                else if (c >= 0xC2 && c <= 0xDF) {
                    need = 1;
                    cp = c & 0x1F;
                } else if (c >= 0xE0 && c <= 0xEF) {
                    need = 2;
                    cp = c & 0x0F;
                    low = c == 0xE0 ? 0xA0 : 0x80;
                    high = c == 0xED ? 0x9F : 0xBF;
                } else if (c >= 0xF0 && c <= 0xF4) {
                    need = 3;
                    cp = c & 0x07;
                    low = c == 0xF0 ? 0x90 : 0x80;
                    high = c == 0xF4 ? 0x8F : 0xBF;
                } else failure = "Encountered invalid utf-8 sequence";
            } else if (c < low || c > high) {
                failure = "Encountered invalid utf-8 sequence";
            } else {
                cp = cp << 6 | (c & 0x3F);
                low = 0x80;
                high = 0xBF;
                need--;
            }
            if (failure == null && need == 0) {
                cps[count] = cp;
                lines[count] = line;
                columns[count++] = column;
                if (cp == '\n') {
                    line++;
                    column = 1;
                } else column++;
            }
            boolean last = i == b.length - 1;
            if (failure == null && last && need > 0) failure = "Encountered EOF during incomplete utf-8 code point sequence";
            if (failure != null) {
                int l = count > blockStart ? lines[count - 1] : line, col = count > blockStart ? columns[count - 1] : column;
                readerError = new Error(l, col, failure);
                failAt = blockStart;
                count = blockStart;
                return;
            }
        }
        lines[count] = line;
        columns[count] = column;
    }

    // ---- reading position

    private boolean eof() {
        return at >= count;
    }

    private int cp() {
        return cps[at];
    }

    private boolean is(int c) {
        return !eof() && cps[at] == c;
    }

    private void advanceRaw() throws Error {
        if (at >= 0 && at < count) {
            prevLine = lines[at];
            prevColumn = columns[at];
        }
        at++;
        if (at >= failAt) throw readerError;
        if (recording != null && !eof() && (recordWhitespace || !isWhitespace(cp()))) recording.appendCodePoint(cp());
    }

    private void advance() throws Error {
        advanceRaw();
    }

    private void goBack(int n) {
        at -= n;
        prevLine = lines[at];
        prevColumn = columns[at];
    }

    private int line() {
        return eof() ? prevLine : lines[at];
    }

    private int column() {
        return eof() ? prevColumn + 1 : columns[at];
    }

    private Error error(String reason) {
        return new Error(line(), column(), "Error while parsing " + scope + ": " + reason);
    }

    private Error errorAt(int line, int column, String reason) {
        return new Error(line, column, "Error while parsing " + scope + ": " + reason);
    }

    private void advanceNotEof() throws Error {
        advance();
        if (eof()) throw error("encountered end-of-file");
    }

    // ---- character classes

    static boolean isHorizontal(int c) {
        return c == '\t' || c == ' ' || c == 0xA0 || c == 0x3000 || c == 0xFEFF || c == 0x1680 || c == 0x180E
                || (c >= 0x2000 && c <= 0x200B) || (c >= 0x205F && c <= 0x2060) || c == 0x202F;
    }

    static boolean isVertical(int c) {
        return (c >= '\n' && c <= '\r') || c == 0x2028 || c == 0x2029 || c == 0x85;
    }

    static boolean isWhitespace(int c) {
        return isHorizontal(c) || isVertical(c);
    }

    static boolean isBareKey(int c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    }

    static boolean isTerminator(int c) {
        return isWhitespace(c) || c == ']' || c == '}' || c == ',' || c == '#';
    }

    static boolean isNonTabControl(int c) {
        return c <= 8 || (c >= 0x0A && c <= 0x1F) || c == 0x7F;
    }

    static boolean isDigit(int c) {
        return c >= '0' && c <= '9';
    }

    static boolean isHex(int c) {
        return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    /** A codepoint as the error texts show it: control characters escaped. */
    static String show(int c) {
        if (c <= 0x1F) {
            switch (c) {
            case 8: return "\\b";
            case 9: return "\\t";
            case 10: return "\\n";
            case 12: return "\\f";
            case 13: return "\\r";
            default: return String.format("\\u%04X", c);
            }
        }
        if (c == 0x7F) return "\\u007F";
        return new String(Character.toChars(c));
    }

    private String showCurrent() {
        return eof() ? "" : show(cp());
    }

    // ---- whitespace, line breaks, comments

    private boolean whitespace() throws Error {
        boolean consumed = false;
        while (!eof() && isHorizontal(cp())) {
            if (cp() != ' ' && cp() != '\t') {
                int c = cp();
                throw error("expected space or tab, saw '" + (c > 0x7F ? String.format(c > 0xFFFF ? "\\U%08X" : "\\u%04X", c) : show(c)) + "'");
            }
            consumed = true;
            advance();
        }
        return consumed;
    }

    private boolean lineBreak() throws Error {
        if (eof()) return false;
        if (cp() == 0x0B || cp() == 0x0C)
            throw error("vertical tabs '\\v' and form-feeds '\\f' are not legal line breaks in TOML");
        if (cp() == '\r') {
            advance();
            if (eof()) throw error("expected '\\n' after '\\r', saw EOF");
            if (cp() != '\n') throw error("expected '\\n' after '\\r', saw '" + show(cp()) + "'");
        } else if (cp() != '\n') return false;
        advance();
        return true;
    }

    private boolean comment() throws Error {
        if (!is('#')) return false;
        String outer = scope;
        scope = "comment";
        advance();
        while (!eof()) {
            if (lineBreak()) break;
            if (isNonTabControl(cp()))
                throw error("control characters other than TAB (U+0009) are explicitly prohibited in comments");
            advance();
        }
        scope = outer;
        return true;
    }

    // ---- document and tables

    private void document() throws Error {
        scope = "root table";
        Node current = root;
        do {
            if (whitespace() || lineBreak() || comment()) continue;
            if (cp() == '[') current = tableHeader();
            else if (isBareKey(cp()) || cp() == '"' || cp() == '\'') {
                scope = "key-value pair";
                keyValue(current);
                whitespace();
                if (!eof() && !comment() && !lineBreak())
                    throw error("expected a comment or whitespace, saw '" + showCurrent() + "'");
                scope = "root table";
            } else throw error("expected keys, tables, whitespace or comments, saw '" + showCurrent() + "'");
        } while (!eof());
    }

    private Node tableHeader() throws Error {
        String outer = scope;
        scope = "table header";
        int hLine = line(), hColumn = column();
        boolean isArray = false;
        advanceNotEof();
        boolean leading = whitespace();
        if (eof()) throw error("encountered end-of-file");
        if (cp() == '[') {
            if (leading) throw error("[[array-of-table]] brackets must be contiguous (i.e. [ [ this ] ] is prohibited)");
            isArray = true;
            advanceNotEof();
            whitespace();
            if (eof()) throw error("encountered end-of-file");
        }
        if (cp() == ']') throw error("tables with blank bare keys are explicitly prohibited");
        String text = recordKey();
        whitespace();
        if (eof()) throw error("encountered end-of-file");
        if (cp() != ']') throw error("expected ']', saw '" + show(cp()) + "'");
        if (isArray) {
            advanceNotEof();
            if (cp() != ']') throw error("expected ']', saw '" + show(cp()) + "'");
        }
        advance();
        whitespace();
        if (!eof() && !comment() && !lineBreak()) throw error("expected a comment or whitespace, saw '" + showCurrent() + "'");

        Node parent = root;
        for (int i = 0; i < keys.size() - 1; i++) {
            Key k = keys.get(i);
            Node p = parent.table.get(k);
            if (p != null) {
                if (p.is("table")) {
                    if (p.inline && !openInline.contains(p))
                        throw error("cannot insert '" + text + "' into existing inline table");
                    parent = p;
                } else if (p.is("array") && tableArrays.contains(p)) {
                    parent = p.array.get(p.array.size() - 1);
                } else if (!isArray && p.is("table")) {
                    throw error("cannot redefine existing table '" + text + "'");
                } else {
                    throw error("cannot redefine existing " + p.kind + " '" + text + "' as " + (isArray ? "array-of-tables" : "table"));
                }
            } else {
                Node t = new Node("table", hLine, hColumn);
                parent.table.put(k, t);
                implicitTables.add(t);
                parent = t;
            }
        }
        Key last = keys.get(keys.size() - 1);
        Node match = parent.table.get(last);
        Node result;
        if (match != null) {
            if (isArray && match.is("array") && tableArrays.contains(match)) {
                result = new Node("table", hLine, hColumn);
                match.array.add(result);
            } else if (!isArray && match.is("table") && implicitTables.contains(match) && onlyTables(match)) {
                implicitTables.remove(match);
                match.line = hLine;
                match.column = hColumn;
                result = match;
            } else if (!isArray && match.is("table")) {
                throw errorAt(hLine, hColumn, "cannot redefine existing table '" + text + "'");
            } else {
                throw errorAt(hLine, hColumn, "cannot redefine existing " + match.kind + " '" + text + "' as "
                        + (isArray ? "array-of-tables" : "table"));
            }
        } else if (isArray) {
            Node array = new Node("array", hLine, hColumn);
            parent.table.put(last, array);
            tableArrays.add(array);
            result = new Node("table", hLine, hColumn);
            array.array.add(result);
        } else {
            result = new Node("table", hLine, hColumn);
            parent.table.put(last, result);
        }
        scope = outer;
        return result;
    }

    private static boolean onlyTables(Node t) {
        for (Node child : t.table.values())
            if (!child.is("table") && !(child.is("array") && arrayOfTables(child))) return false;
        return true;
    }

    private static boolean arrayOfTables(Node a) {
        if (a.array.isEmpty()) return false;
        for (Node n : a.array)
            if (!n.is("table")) return false;
        return true;
    }

    /** Reads a (dotted) key into `keys`; returns its text as written, without the blanks around dots. */
    private String recordKey() throws Error {
        recording = new StringBuilder();
        recordWhitespace = true;
        if (!eof()) recording.appendCodePoint(cp());
        try {
            key();
        } finally {
            if (recording.length() > 0) recording.setLength(recording.length() - 1); // what ended the key
        }
        String text = recording.toString();
        recording = null;
        return text;
    }

    private void key() throws Error {
        String outer = scope;
        scope = "key";
        keys.clear();
        recordWhitespace = false;
        for (;;) {
            int kLine = line(), kColumn = column();
            String segment;
            if (isBareKey(cp())) {
                StringBuilder s = new StringBuilder();
                while (!eof() && isBareKey(cp())) {
                    s.appendCodePoint(cp());
                    advance();
                }
                segment = s.toString();
            } else if (cp() == '"' || cp() == '\'') {
                recordWhitespace = true;
                boolean[] multi = new boolean[1];
                segment = string(multi);
                recordWhitespace = false;
                if (multi[0])
                    throw errorAt(kLine, kColumn, "multi-line strings are prohibited in " + (keys.isEmpty() ? "" : "dotted ") + "keys");
            } else throw error("expected bare key starting character or string delimiter, saw '" + show(cp()) + "'");
            whitespace();
            keys.add(new Key(segment, kLine, kColumn));
            if (eof() || cp() != '.') break;
            advanceNotEof();
            whitespace();
            if (eof()) throw error("encountered end-of-file");
        }
        scope = outer;
    }

    private void keyValue(Node table) throws Error {
        String outer = scope;
        scope = "key-value pair";
        String text = recordKey();
        whitespace();
        if (eof()) throw error("encountered end-of-file");
        if (cp() != '=') throw error("expected '=', saw '" + show(cp()) + "'");
        advanceNotEof();
        whitespace();
        if (eof()) throw error("encountered end-of-file");
        if (isTerminator(cp())) throw error("expected value, saw '" + show(cp()) + "'");
        List<Key> path = new ArrayList<>(keys);
        for (int i = 0; i < path.size() - 1; i++) {
            Key k = path.get(i);
            Node p = table.table.get(k);
            if (p != null) {
                if (!p.is("table") || !(dottedTables.contains(p) || implicitTables.contains(p)))
                    throw errorAt(k.line, k.column, "cannot redefine existing " + p.kind + " as dotted key-value pair");
                table = p;
            } else {
                Node t = new Node("table", k.line, k.column);
                table.table.put(k, t);
                dottedTables.add(t);
                table = t;
            }
        }
        Key last = path.get(path.size() - 1);
        Node existing = table.table.get(last);
        if (existing != null) throw error("cannot redefine existing " + existing.kind + " '" + text + "'");
        Node value = value();
        table.table.put(last, value);
        scope = outer;
    }

    // ---- values

    private Node value() throws Error {
        String outer = scope;
        scope = "value";
        depth++;
        try {
            if (depth > MAX_DEPTH)
                throw error("exceeded maximum nested value depth of " + MAX_DEPTH + " (TOML_MAX_NESTED_VALUES)");
            if (cp() <= 0x1F || cp() == 0x7F) throw error("unexpected control character");
            if (cp() == '_') throw error("values may not begin with underscores");
            int vLine = line(), vColumn = column();
            Node v = valueOfKind(vLine, vColumn);
            v.line = vLine;
            v.column = vColumn;
            return v;
        } finally {
            depth--;
            scope = outer;
        }
    }

    private Node valueOfKind(int vLine, int vColumn) throws Error {
        int c = cp();
        switch (c) {
        case '[': return array();
        case '{': return inlineTable();
        case '.': return number(vLine, vColumn, "floating-point");
        case '"':
        case '\'': {
            Node n = new Node("string", vLine, vColumn);
            n.text = string(new boolean[1]);
            return n;
        }
        default:
        }
        int upper = c & ~0x20;
        if (upper == 'F' || upper == 'T') return bool();
        if (upper == 'I' || upper == 'N') return infOrNan(vLine, vColumn);
        if (!isDigit(c) && c != '+' && c != '-') throw errorAt(vLine, vColumn, "could not determine value type");
        return scanned(vLine, vColumn);
    }

    private static final int DIGITS = 1, HAS_B = 2, HAS_E = 4, HAS_O = 8, HAS_P = 16, HAS_T = 32, HAS_X = 64, HAS_Z = 128,
            COLON = 256, PLUS = 512, MINUS = 1024, DOT = 2048, SIGN = 4096, BEGIN_DIGIT = 8192, BEGIN_ZERO = 16384;

    // Numbers, dates and times: the characters up to the value's end say which one it is.
    private Node scanned(int vLine, int vColumn) throws Error {
        int traits = isDigit(cp()) ? BEGIN_DIGIT | (cp() == '0' ? BEGIN_ZERO : 0) : SIGN;
        StringBuilder chars = new StringBuilder();
        int advanced = 0;
        boolean eofWhileScanning = false;
        do {
            int c = cp();
            if (c != '_') {
                chars.appendCodePoint(c);
                int n = chars.codePointCount(0, chars.length());
                if (isDigit(c)) traits |= DIGITS;
                else if ((c | 32) >= 'a' && (c | 32) <= 'z') {
                    switch (c | 32) {
                    case 'b': if (n == 2 && (traits & BEGIN_ZERO) != 0) traits |= HAS_B; break;
                    case 'e':
                        if (n > 1 && (traits & (HAS_B | HAS_O | HAS_P | HAS_T | HAS_X | HAS_Z | COLON)) == 0
                                && ((traits & (PLUS | MINUS)) == 0 || (traits & SIGN) != 0))
                            traits |= HAS_E;
                        break;
                    case 'o': if (n == 2 && (traits & BEGIN_ZERO) != 0) traits |= HAS_O; break;
                    case 'p': if ((traits & HAS_X) != 0) traits |= HAS_P; break;
                    case 'x':
                        if ((n == 2 && (traits & BEGIN_ZERO) != 0) || (n == 3 && (traits & SIGN) != 0 && chars.charAt(1) == '0'))
                            traits |= HAS_X;
                        break;
                    case 't': traits |= HAS_T; break;
                    case 'z': traits |= HAS_Z; break;
                    default:
                    }
                } else if (c == '+') traits |= PLUS;
                else if (c == '-') traits |= MINUS;
                else if (c == '.') traits |= DOT;
                else if (c == ':') traits |= COLON;
            }
            advance();
            advanced++;
            eofWhileScanning = eof();
        } while (advanced < HISTORY - 1 && !eof() && !isTerminator(cp()));
        String s = chars.toString();
        int n = s.codePointCount(0, s.length());
        if (n == 10 && (traits | BEGIN_ZERO) == (DIGITS | BEGIN_DIGIT | BEGIN_ZERO | MINUS) && s.charAt(4) == '-'
                && s.charAt(7) == '-' && is(' ') && at + 1 < count && isDigit(cps[at + 1])) {
            traits |= HAS_T; // a date and a time separated by a blank
            do {
                advance();
                advanced++;
                int c = cp();
                traits |= isDigit(c) ? DIGITS : c == ':' ? COLON : c == '.' ? DOT : c == '+' ? PLUS : c == '-' ? MINUS : (c | 32) == 'z' ? HAS_Z : 0;
            } while (advanced < HISTORY - 1 && !eof() && !isTerminator(cp()));
            s = s + " " + text(at - advanced + 11, at);
        }
        goBack(advanced);
        if (n == 1) {
            if ((traits & BEGIN_DIGIT) != 0) {
                Node v = new Node("integer", vLine, vColumn);
                v.integer = s.charAt(0) - '0';
                advance();
                return v;
            }
            if (eofWhileScanning) throw error("encountered end-of-file");
            throw error("could not determine value type");
        }
        if ((traits & HAS_P) != 0) {
            scope = "hexadecimal floating-point";
            throw errorAt(line(), column(), "hexadecimal floating-point values are not supported in TOML 1.0.0 and earlier");
        }
        if ((traits & (HAS_X | HAS_O | HAS_B)) != 0)
            return integer((traits & HAS_X) != 0 ? 16 : (traits & HAS_O) != 0 ? 8 : 2, vLine, vColumn);
        if ((traits & HAS_E) != 0 || ((traits & BEGIN_DIGIT) != 0 && s.charAt(1) == '.'))
            return number(vLine, vColumn, "floating-point");
        if ((traits & SIGN) != 0) {
            if (n == 2 && (traits & DIGITS) != 0) {
                Node v = new Node("integer", vLine, vColumn);
                v.integer = (s.charAt(1) - '0') * (s.charAt(0) == '-' ? -1 : 1);
                advance();
                advance();
                return v;
            }
            if (isDigit(s.charAt(1)) && n > 2 && s.charAt(2) == '.') return number(vLine, vColumn, "floating-point");
            int c1 = s.charAt(1) | 32;
            if (c1 == 'i' || c1 == 'n') return infOrNan(vLine, vColumn);
        }
        int bdigit = DIGITS | BEGIN_DIGIT, bzero = bdigit | BEGIN_ZERO;
        int t = traits;
        if (t == bzero || t == bdigit || t == (SIGN | DIGITS | MINUS) || t == (SIGN | DIGITS | PLUS))
            return integer(10, vLine, vColumn);
        int rest = t & ~(bzero | SIGN);
        boolean startsDigit = (t & BEGIN_DIGIT) != 0;
        if ((t & DIGITS) != 0 && (rest & ~(HAS_E | DOT | PLUS | MINUS)) == 0 && (rest & (HAS_E | DOT)) != 0
                && (startsDigit || (t & SIGN) != 0))
            return number(vLine, vColumn, "floating-point");
        if (startsDigit && (rest == COLON || rest == (COLON | DOT))) return number(vLine, vColumn, "time");
        if (startsDigit && rest == MINUS) return number(vLine, vColumn, "date");
        if (startsDigit && (rest & HAS_T) != 0 && (rest & COLON) != 0 && (rest & MINUS) != 0
                && (rest & ~(HAS_T | COLON | MINUS | PLUS | DOT | HAS_Z)) == 0)
            return number(vLine, vColumn, "date-time");
        throw errorAt(vLine, vColumn, "could not determine value type");
    }

    private String text(int from, int to) {
        StringBuilder s = new StringBuilder();
        for (int i = Math.max(from, 0); i < to; i++) s.appendCodePoint(cps[i]);
        return s.toString();
    }

    // Floats, dates and times are never a value the packer takes: read them to know their kind.
    private Node number(int vLine, int vColumn, String kind) throws Error {
        if (kind.equals("floating-point")) return decimalFloat(vLine, vColumn);
        String outer = scope;
        scope = kind;
        if (kind.equals("date")) date(false);
        else if (kind.equals("time")) time(false);
        else dateTime();
        scope = outer;
        return new Node(kind, vLine, vColumn);
    }

    /** `n` digits as a number, or -1 (nothing consumed past the first non-digit) when there are fewer. */
    private int digits(int n) throws Error {
        int v = 0;
        for (int i = 0; i < n; i++) {
            if (eof() || !isDigit(cp())) return -1;
            v = v * 10 + cp() - '0';
            advance();
        }
        return v;
    }

    private void expectTerminator() throws Error {
        if (!eof() && !isTerminator(cp())) throw error("expected value-terminator, saw '" + show(cp()) + "'");
    }

    private void expect(int c) throws Error {
        if (eof()) throw error("encountered end-of-file");
        if (cp() != c) throw error("expected '" + (char) c + "', saw '" + show(cp()) + "'");
        advanceNotEof();
    }

    private void date(boolean partOfDateTime) throws Error {
        String outer = scope;
        scope = "date";
        int year = digits(4);
        if (year < 0) throw error("expected 4-digit year, saw '" + showCurrent() + "'");
        boolean leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        expect('-');
        int month = digits(2);
        if (month < 0) throw error("expected 2-digit month, saw '" + showCurrent() + "'");
        if (month == 0 || month > 12) throw error("expected month between 1 and 12 (inclusive), saw " + month);
        int days = month == 2 ? (leap ? 29 : 28) : month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
        expect('-');
        int day = digits(2);
        if (day < 0) throw error("expected 2-digit day, saw '" + showCurrent() + "'");
        if (day == 0 || day > days) throw error("expected day between 1 and " + days + " (inclusive), saw " + day);
        if (!partOfDateTime) expectTerminator();
        scope = outer;
    }

    private boolean endOfTime(boolean partOfDateTime) {
        return eof() || isTerminator(cp()) || (partOfDateTime && (cp() == '+' || cp() == '-' || cp() == 'Z' || cp() == 'z'));
    }

    private void time(boolean partOfDateTime) throws Error {
        String outer = scope;
        scope = "time";
        int hour = digits(2);
        if (hour < 0) throw error("expected 2-digit hour, saw '" + showCurrent() + "'");
        if (hour > 23) throw error("expected hour between 0 to 59 (inclusive), saw " + hour);
        expect(':');
        int minute = digits(2);
        if (minute < 0) throw error("expected 2-digit minute, saw '" + showCurrent() + "'");
        if (minute > 59) throw error("expected minute between 0 and 59 (inclusive), saw " + minute);
        expect(':');
        int second = digits(2);
        if (second < 0) throw error("expected 2-digit second, saw '" + showCurrent() + "'");
        if (second > 59) throw error("expected second between 0 and 59 (inclusive), saw " + second);
        if (!endOfTime(partOfDateTime)) {
            if (cp() != '.') throw error("expected '.', saw '" + show(cp()) + "'");
            advanceNotEof();
            int count = 0;
            while (count < 64 && !eof() && isDigit(cp())) {
                advance();
                count++;
            }
            if (count == 0) {
                if (eof()) throw error("encountered end-of-file");
                throw error("expected fractional digits, saw '" + show(cp()) + "'");
            } else if (!eof()) {
                if (count == 64 && isDigit(cp())) throw error("fractional component exceeds maximum precision of 64");
                if (!partOfDateTime && !isTerminator(cp())) throw error("expected value-terminator, saw '" + show(cp()) + "'");
            }
        }
        scope = outer;
    }

    private void dateTime() throws Error {
        date(true);
        if (eof()) throw error("encountered end-of-file");
        if (cp() != ' ' && cp() != 'T' && cp() != 't') throw error("expected space, 'T' or 't', saw '" + show(cp()) + "'");
        advanceNotEof();
        time(true);
        if (eof() || isTerminator(cp())) return;
        if (cp() == 'Z' || cp() == 'z') advance();
        else if (cp() == '+' || cp() == '-') {
            String outer = scope;
            scope = "date-time offset";
            advanceNotEof();
            int hour = digits(2);
            if (hour < 0) throw error("expected 2-digit hour, saw '" + showCurrent() + "'");
            if (hour > 23) throw error("expected hour between 0 and 23 (inclusive), saw " + hour);
            expect(':');
            int minute = digits(2);
            if (minute < 0) throw error("expected 2-digit minute, saw '" + showCurrent() + "'");
            if (minute > 59) throw error("expected minute between 0 and 59 (inclusive), saw " + minute);
            scope = outer;
        }
        expectTerminator();
    }

    private Node decimalFloat(int vLine, int vColumn) throws Error {
        String outer = scope;
        scope = "floating-point";
        if (cp() == '+' || cp() == '-') advanceNotEof();
        StringBuilder chars = new StringBuilder();
        int prev = -1;
        boolean decimal = false, exponent = false;
        int firstInteger = 0;
        while (!eof() && !isTerminator(cp())) {
            int c = cp();
            if (c == '_') {
                if (prev < 0 || !isDigit(prev)) throw error("underscores may only follow digits");
                prev = c;
                advanceNotEof();
                continue;
            } else if (prev == '_' && !isDigit(c)) throw error("underscores must be followed by digits");
            else if (chars.length() == HISTORY)
                throw error("exceeds length limit of " + HISTORY + " digits" + (exponent ? "" : " (consider using exponent notation)"));
            else if (c == '.') {
                if (firstInteger == 0) throw error("expected decimal digit, saw '.'");
                if (exponent) throw error("expected exponent decimal digit or sign, saw '.'");
                if (decimal) throw error("expected decimal digit or exponent, saw '.'");
                decimal = true;
            } else if (c == 'e' || c == 'E') {
                if ((prev >= 0 && !isDigit(prev)) || exponent) throw error("expected decimal digit, saw '" + show(c) + "'");
                decimal = exponent = true;
            } else if (c == '+' || c == '-') {
                if (!exponent) throw error("expected decimal digit or '.', saw '" + show(c) + "'");
                if (prev != 'e' && prev != 'E') throw error("expected exponent digit, saw '" + show(c) + "'");
            } else if (isDigit(c)) {
                if (!decimal) {
                    if (firstInteger == 0) firstInteger = c;
                    else if (firstInteger == '0') throw error("leading zeroes are prohibited");
                }
            } else throw error("expected decimal digit, saw '" + show(c) + "'");
            chars.appendCodePoint(c);
            prev = c;
            advance();
        }
        if (prev == '_') {
            if (eof()) throw error("encountered end-of-file");
            throw error("underscores must be followed by digits");
        } else if (prev == 'e' || prev == 'E' || prev == '+' || prev == '-' || prev == '.') {
            if (eof()) throw error("encountered end-of-file");
            throw error("expected decimal digit, saw '" + show(cp()) + "'");
        }
        double value = Double.parseDouble(chars.toString());
        if (Double.isInfinite(value) || (value == 0 && chars.toString().matches(".*[1-9].*[eE].*")))
            throw error("'" + chars + "' could not be interpreted as a value");
        scope = outer;
        return new Node("floating-point", vLine, vColumn);
    }

    private Node integer(int base, int vLine, int vColumn) throws Error {
        String outer = scope;
        scope = base == 10 ? "decimal integer" : base == 16 ? "hexadecimal integer" : base == 8 ? "octal integer" : "binary integer";
        long sign = 1;
        if (base == 10) {
            sign = cp() == '-' ? -1 : 1;
            if (cp() == '+' || cp() == '-') advanceNotEof();
            if (!isDigit(cp())) throw error("expected expected digit or sign, saw '" + show(cp()) + "'");
        } else {
            if (cp() != '0') throw error("expected '0', saw '" + show(cp()) + "'");
            advanceNotEof();
            char prefix = base == 16 ? 'x' : base == 8 ? 'o' : 'b';
            if (cp() != prefix) throw error("expected '" + prefix + "', saw '" + show(cp()) + "'");
            advanceNotEof();
            if (!digitOf(base, cp())) throw error("expected digit, saw '" + show(cp()) + "'");
        }
        StringBuilder digits = new StringBuilder();
        int prev = -1;
        while (!eof() && !isTerminator(cp())) {
            if (cp() == '_') {
                if (prev < 0 || !digitOf(base, prev)) throw error("underscores may only follow digits");
                prev = cp();
                advanceNotEof();
                continue;
            } else if (prev == '_' && !digitOf(base, cp())) throw error("underscores must be followed by digits");
            else if (!digitOf(base, cp())) throw error("expected digit, saw '" + show(cp()) + "'");
            else if (digits.length() == HISTORY) throw error("exceeds length limit of " + HISTORY + " digits");
            digits.appendCodePoint(cp());
            prev = cp();
            advance();
        }
        if (prev == '_') {
            if (eof()) throw error("encountered end-of-file");
            throw error("underscores must be followed by digits");
        }
        Node v = new Node("integer", vLine, vColumn);
        v.hex = base == 16;
        String d = digits.toString();
        if (d.length() == 1) {
            v.integer = Character.digit(d.charAt(0), 16) * sign;
            scope = outer;
            return v;
        }
        String significant = d;
        if (base != 10) {
            significant = d.replaceFirst("^0+", "");
            if (significant.isEmpty()) {
                scope = outer;
                return v;
            }
        } else if (d.charAt(0) == '0') throw error("leading zeroes are prohibited");
        int maxDigits = base == 10 ? 19 : base == 16 ? 16 : base == 8 ? 21 : 63;
        String full = (base == 10 ? "" : base == 16 ? "0x" : base == 8 ? "0o" : "0b") + d;
        if (significant.length() > maxDigits) throw error("'" + full + "' is not representable in 64 bits");
        java.math.BigInteger value = new java.math.BigInteger(significant, base);
        java.math.BigInteger limit = java.math.BigInteger.valueOf(Long.MAX_VALUE).add(java.math.BigInteger.valueOf(sign < 0 ? 1 : 0));
        if (value.compareTo(limit) > 0) throw error("'" + full + "' is not representable in 64 bits");
        v.integer = value.multiply(java.math.BigInteger.valueOf(sign)).longValue();
        scope = outer;
        return v;
    }

    private static boolean digitOf(int base, int c) {
        return base == 16 ? isHex(c) : base == 10 ? isDigit(c) : base == 8 ? c >= '0' && c <= '7' : c == '0' || c == '1';
    }

    private Node bool() throws Error {
        String outer = scope;
        scope = "boolean";
        boolean result = cp() == 't' || cp() == 'T';
        recording = new StringBuilder();
        recordWhitespace = true;
        recording.appendCodePoint(cp());
        String expected = result ? "true" : "false";
        for (int i = 0; i < expected.length(); i++) {
            if (eof()) {
                recording = null;
                throw error("encountered end-of-file");
            }
            if (cp() != expected.charAt(i)) {
                String seen = recording.toString();
                recording = null;
                throw error("expected '" + expected + "', saw '" + seen + "'");
            }
            advance();
        }
        recording = null;
        if (!eof() && !isTerminator(cp())) throw error("expected value-terminator, saw '" + show(cp()) + "'");
        scope = outer;
        Node v = new Node("boolean", 0, 0);
        v.bool = result;
        return v;
    }

    private Node infOrNan(int vLine, int vColumn) throws Error {
        String outer = scope;
        scope = "floating-point";
        recording = new StringBuilder();
        recordWhitespace = true;
        recording.appendCodePoint(cp());
        if (cp() == '+' || cp() == '-') {
            advance();
            if (eof()) {
                recording = null;
                throw error("encountered end-of-file");
            }
        }
        String expected = cp() == 'i' || cp() == 'I' ? "inf" : "nan";
        for (int i = 0; i < 3; i++) {
            if (eof()) {
                recording = null;
                throw error("encountered end-of-file");
            }
            if (cp() != expected.charAt(i)) {
                String seen = recording.toString();
                recording = null;
                throw error("expected '" + expected + "', saw '" + seen + "'");
            }
            advance();
        }
        recording = null;
        if (!eof() && !isTerminator(cp())) throw error("expected value-terminator, saw '" + show(cp()) + "'");
        scope = outer;
        return new Node("floating-point", vLine, vColumn);
    }

    private Node array() throws Error {
        String outer = scope;
        scope = "array";
        Node a = new Node("array", 0, 0);
        advanceNotEof();
        boolean afterValue = false;
        for (;;) {
            while (whitespace() || lineBreak() || comment()) {
            }
            if (eof()) throw error("encountered end-of-file");
            if (cp() == ',') {
                if (!afterValue) throw error("expected value or closing ']', saw comma");
                afterValue = false;
                advanceNotEof();
            } else if (cp() == ']') {
                advance();
                break;
            } else {
                if (afterValue) throw error("expected comma or closing ']', saw '" + show(cp()) + "'");
                afterValue = true;
                a.array.add(value());
            }
        }
        scope = outer;
        return a;
    }

    private Node inlineTable() throws Error {
        String outer = scope;
        scope = "inline table";
        Node t = new Node("table", 0, 0);
        t.inline = true;
        openInline.add(t);
        advanceNotEof();
        int prev = 0; // 0 nothing, 1 comma, 2 key-value pair
        for (;;) {
            while (whitespace()) {
            }
            if (eof()) throw error("encountered end-of-file");
            if (cp() == ',') {
                if (prev != 2) throw error("expected key-value pair or closing '}', saw comma");
                prev = 1;
                advanceNotEof();
            } else if (cp() == '}') {
                if (prev == 1) throw error("expected key-value pair, saw closing '}' (dangling comma)");
                advance();
                break;
            } else if (cp() == '"' || cp() == '\'' || isBareKey(cp())) {
                if (prev == 2) throw error("expected comma or closing '}', saw '" + show(cp()) + "'");
                prev = 2;
                keyValue(t);
            } else throw error("expected key or closing '}', saw '" + show(cp()) + "'");
        }
        openInline.remove(openInline.size() - 1);
        scope = outer;
        return t;
    }

    // ---- strings

    private String string(boolean[] multiLine) throws Error {
        String outer = scope;
        scope = "string";
        int first = cp();
        advanceNotEof();
        int second = cp();
        advance();
        String result;
        if (eof()) {
            if (second != first) throw error("encountered end-of-file");
            result = "";
        } else if (first == second && cp() == first) {
            multiLine[0] = true;
            result = first == '\'' ? literal(true) : basic(true);
        } else {
            goBack(2);
            result = first == '\'' ? literal(false) : basic(false);
        }
        scope = outer;
        return result;
    }

    /** After an opening delimiter of a multi-line string: counts the run of quotes `q` that starts here. */
    private int closing(StringBuilder s, int q) throws Error {
        int run = 1, looked = 0;
        do {
            advance();
            looked++;
            if (!eof() && cp() == q) run++;
            else break;
        } while (looked < 4);
        switch (run) {
        case 1: s.append((char) q); return 0;
        case 2: s.append((char) q).append((char) q); return 0;
        case 3: return 1;
        case 4: s.append((char) q); return 1;
        default:
            s.append((char) q).append((char) q);
            advance();
            return 1;
        }
    }

    private String basic(boolean multi) throws Error {
        String outer = scope;
        scope = "string";
        advanceNotEof();
        if (multi) {
            lineBreak();
            if (eof()) throw error("encountered end-of-file");
        }
        StringBuilder s = new StringBuilder();
        boolean escaped = false, skipping = false;
        for (;;) {
            if (eof()) throw error("encountered end-of-file");
            if (escaped) {
                escaped = false;
                if (multi && isWhitespace(cp())) {
                    whitespace();
                    if (!lineBreak()) throw error("line-ending backslashes must be the last non-whitespace character on the line");
                    skipping = true;
                    continue;
                }
                int e = cp();
                boolean skip = true;
                switch (e) {
                case 'b': s.append('\b'); break;
                case 'f': s.append('\f'); break;
                case 'n': s.append('\n'); break;
                case 'r': s.append('\r'); break;
                case 't': s.append('\t'); break;
                case '"': s.append('"'); break;
                case '\\': s.append('\\'); break;
                case 'e': throw error("escape sequence '\\e' is not supported in TOML 1.0.0 and earlier");
                case 'x': throw error("escape sequence '\\x' is not supported in TOML 1.0.0 and earlier");
                case 'u':
                case 'U': {
                    String inner = scope;
                    scope = "unicode scalar sequence";
                    advanceNotEof();
                    skip = false;
                    long value = 0;
                    for (int i = 0; i < (e == 'U' ? 8 : 4); i++) {
                        if (eof()) throw error("encountered end-of-file");
                        if (!isHex(cp())) throw error("expected hex digit, saw '" + show(cp()) + "'");
                        value = value * 16 + Character.digit(cp(), 16);
                        advance();
                    }
                    if (value >= 0xD800 && value <= 0xDFFF) throw error("unicode surrogates (U+D800 - U+DFFF) are explicitly prohibited");
                    if (value > 0x10FFFF) throw error("values greater than U+10FFFF are invalid");
                    s.appendCodePoint((int) value);
                    scope = inner;
                    break;
                }
                default: throw error("unknown escape sequence '\\" + show(e) + "'");
                }
                if (skip) advanceNotEof();
            } else {
                if (cp() == '"') {
                    if (multi) {
                        if (closing(s, '"') == 1) break;
                        skipping = false;
                        continue;
                    }
                    advance();
                    break;
                } else if (cp() == '\\') {
                    advanceNotEof();
                    skipping = false;
                    escaped = true;
                    continue;
                }
                if (multi && cp() >= '\n' && cp() <= '\r') {
                    lineBreak();
                    if (!skipping) s.append('\n');
                    continue;
                }
                if (isNonTabControl(cp()))
                    throw error("unescaped control characters other than TAB (U+0009) are explicitly prohibited");
                if (!multi || !skipping || !isHorizontal(cp())) {
                    skipping = false;
                    s.appendCodePoint(cp());
                }
                advance();
            }
        }
        scope = outer;
        return s.toString();
    }

    private String literal(boolean multi) throws Error {
        String outer = scope;
        scope = "literal string";
        advanceNotEof();
        if (multi) {
            lineBreak();
            if (eof()) throw error("encountered end-of-file");
        }
        StringBuilder s = new StringBuilder();
        for (;;) {
            if (eof()) throw error("encountered end-of-file");
            if (cp() == '\'') {
                if (multi) {
                    if (closing(s, '\'') == 1) break;
                    continue;
                }
                advance();
                break;
            }
            if (multi && cp() >= '\n' && cp() <= '\r') {
                lineBreak();
                s.append('\n');
                continue;
            }
            if (isNonTabControl(cp())) throw error("control characters other than TAB (U+0009) are explicitly prohibited");
            s.appendCodePoint(cp());
            advance();
        }
        scope = outer;
        return s.toString();
    }

    static String utf8(byte[] b) {
        return new String(b, StandardCharsets.UTF_8);
    }
}
