/* The codebook site: lists, searches and shows the variables of a codebook.
   It works from a folder opened in the browser (file:) as well as from any
   web server: every data file of the site is a script that hands its data
   to one of the QAVN.* functions below, so nothing is fetched, and nothing
   outside the site's folder is ever named. Every text of the codebook
   reaches the page as a text node, never as markup. */
(function () {
  'use strict';

  var QAVN = {};
  window.QAVN = QAVN;

  /* ---------- what the site holds ---------- */

  var site = null;          // the facts index.html hands to QAVN.start
  var sectionTitles = {};   // section number -> title, as the files bring them
  var listSize = 250;       // variables per list file (from the site)
  var varSize = 100;        // variables per description file
  var outlineSize = 500;    // sections per outline file

  /* ---------- loading the data files ---------- */

  // A small cache in order of use that forgets its oldest entries.
  function Cache(limit) { this.limit = limit; this.map = new Map(); }
  Cache.prototype.get = function (key) {
    if (!this.map.has(key)) return undefined;
    var value = this.map.get(key);
    this.map.delete(key);
    this.map.set(key, value);
    return value;
  };
  Cache.prototype.set = function (key, value) {
    this.map.delete(key);
    this.map.set(key, value);
    while (this.map.size > this.limit) this.map.delete(this.map.keys().next().value);
  };

  var caches = {
    list: new Cache(400), vars: new Cache(80), outline: new Cache(100000),
    shard: new Cache(600), one: new Cache(10)
  };
  var pending = new Map();  // file -> {resolve, reject, promise, kind}

  function fileOf(kind, k) {
    if (kind === 'list') return 'qavn/list/' + k + '.js';
    if (kind === 'vars') return 'qavn/var/' + k + '.js';
    if (kind === 'outline') return 'qavn/outline/' + k + '.js';
    if (kind === 'shard') return 'qavn/index/' + k + '.js';
    return 'qavn/' + k + '.js';
  }

  // Loads one data file of the site: a promise of what it hands over.
  function load(kind, k) {
    var file = fileOf(kind, k);
    var cached = caches[kind].get(file);
    if (cached !== undefined) return Promise.resolve(cached);
    var waiting = pending.get(file);
    if (waiting) return waiting.promise;
    var entry = { kind: kind };
    entry.promise = new Promise(function (resolve, reject) { entry.resolve = resolve; entry.reject = reject; });
    pending.set(file, entry);
    var script = document.createElement('script');
    script.src = file;
    script.async = true;
    script.onload = function () {
      script.remove();
      if (pending.get(file) === entry) {
        pending.delete(file);
        entry.reject(new Error('The file ' + file + ' of this codebook is damaged.'));
      }
    };
    script.onerror = function () {
      script.remove();
      pending.delete(file);
      entry.reject(new Error('The file ' + file + ' of this codebook is missing.'));
    };
    document.head.appendChild(script);
    return entry.promise;
  }

  function arrive(kind, k, data) {
    var file = fileOf(kind, k);
    caches[kind].set(file, data);
    var entry = pending.get(file);
    if (entry) {
      pending.delete(file);
      entry.resolve(data);
    }
  }

  // Loads many files, a few at a time; `each(k, data)` as each arrives.
  function loadEach(kind, ks, each, stillWanted) {
    var next = 0;
    var failed = null;
    function worker() {
      if (failed || next >= ks.length) return Promise.resolve();
      if (stillWanted && !stillWanted()) return Promise.resolve();
      var k = ks[next++];
      return load(kind, k).then(function (data) { each(k, data); return worker(); });
    }
    var workers = [];
    for (var i = 0; i < 6; ++i) workers.push(worker());
    return Promise.all(workers);
  }

  // A list or description file carries the title of each section where it
  // starts, and of the section its first variable lies in.
  QAVN.list = function (k, rows) {
    rows.forEach(function (r) { if (r[7] !== undefined) sectionTitles[r[2]] = r[7]; });
    arrive('list', k, rows);
  };
  QAVN.vars = function (k, entries) {
    entries.forEach(function (e) { if (e[11] !== undefined) sectionTitles[e[3]] = e[11]; });
    arrive('vars', k, entries);
  };
  QAVN.outline = function (k, sections) { arrive('outline', k, sections); };
  QAVN.shard = function (k, words) {
    var map = new Map();
    for (var i = 0; i + 1 < words.length; i += 2) map.set(words[i], words[i + 1]);
    arrive('shard', k, map);
  };
  QAVN.keys = function (keys) { arrive('one', 'keys', keys); };
  QAVN.files = function (lists) { arrive('one', 'files', lists); };

  /* ---------- sets of variables ---------- */

  function Bits(n) { this.n = n; this.w = new Uint32Array((n + 31) >>> 5); }
  Bits.prototype.set = function (i) { this.w[i >>> 5] |= (1 << (i & 31)) >>> 0; };
  Bits.prototype.clear = function (i) { this.w[i >>> 5] &= ~(1 << (i & 31)); };
  Bits.prototype.has = function (i) { return (this.w[i >>> 5] & (1 << (i & 31))) !== 0; };
  Bits.prototype.setRange = function (start, count) {
    var end = Math.min(start + count, this.n);
    for (var i = start; i < end; ) {
      if ((i & 31) === 0 && i + 32 <= end) { this.w[i >>> 5] = 0xFFFFFFFF; i += 32; }
      else { this.set(i); ++i; }
    }
  };
  Bits.prototype.fill = function () { this.setRange(0, this.n); return this; };
  Bits.prototype.copy = function () { var b = new Bits(this.n); b.w.set(this.w); return b; };
  Bits.prototype.and = function (o) { for (var i = 0; i < this.w.length; ++i) this.w[i] &= o.w[i]; return this; };
  Bits.prototype.or = function (o) { for (var i = 0; i < this.w.length; ++i) this.w[i] |= o.w[i]; return this; };
  Bits.prototype.andNot = function (o) { for (var i = 0; i < this.w.length; ++i) this.w[i] &= ~o.w[i]; return this; };
  Bits.prototype.not = function () {
    for (var i = 0; i < this.w.length; ++i) this.w[i] = ~this.w[i];
    var extra = this.n & 31;
    if (extra) this.w[this.w.length - 1] &= (1 << extra) - 1;
    return this;
  };
  function popcount(x) {
    x = x - ((x >>> 1) & 0x55555555);
    x = (x & 0x33333333) + ((x >>> 2) & 0x33333333);
    return (((x + (x >>> 4)) & 0x0F0F0F0F) * 0x01010101) >>> 24;
  }
  Bits.prototype.count = function () {
    var c = 0;
    for (var i = 0; i < this.w.length; ++i) if (this.w[i]) c += popcount(this.w[i]);
    return c;
  };
  // Up to `count` members after skipping `skip` of them, ascending.
  Bits.prototype.slice = function (skip, count) {
    var out = [];
    for (var i = 0; i < this.w.length && out.length < count; ++i) {
      var word = this.w[i];
      if (!word) continue;
      var c = popcount(word);
      if (skip >= c) { skip -= c; continue; }
      for (var b = 0; b < 32 && out.length < count; ++b) {
        if (word & (1 << b)) {
          if (skip > 0) --skip; else out.push(i * 32 + b);
        }
      }
    }
    return out;
  };
  Bits.prototype.isEmpty = function () {
    for (var i = 0; i < this.w.length; ++i) if (this.w[i]) return false;
    return true;
  };

  /* ---------- position lists ---------- */

  // The site's number code (see the index writer): 5 bits a character,
  // lowest first; the second half of the alphabet goes on.
  var ALPHABET = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_';
  var DIGIT = new Int8Array(128).fill(-1);
  for (var d = 0; d < ALPHABET.length; ++d) DIGIT[ALPHABET.charCodeAt(d)] = d;

  // Adds to `bits` the positions of `text` whose mask meets `fields`.
  function addPositions(bits, text, fields) {
    var i = 0, n = text.length, next = 0;
    function number() {
      var value = 0, scale = 1;
      while (i < n) {
        var digit = DIGIT[text.charCodeAt(i++)];
        if (digit >= 32) { value += (digit - 32) * scale; scale *= 32; }
        else { value += digit * scale; break; }
      }
      return value;
    }
    while (i < n) {
      var v = number();
      var gap = Math.floor(v / 32);
      var mask = (v >>> 1) & 15;
      var length = (v & 1) ? number() + 2 : 1;
      var start = next + gap;
      if (mask & fields) {
        if (length === 1) bits.set(start); else bits.setRange(start, length);
      }
      next = start + length;
    }
  }

  /* ---------- the query language ---------- */

  var FIELDS = { name: 1, label: 2, description: 4, desc: 4, category: 8, cat: 8 };
  var ALL_FIELDS = 15;
  var WORD_CLASS = '0-9A-Za-z_\\u00C0-\\u00D6\\u00D8-\\u00F6\\u00F8-\\u00FF';

  function isWordChar(ch) {
    var u = ch.charCodeAt(0);
    return (u >= 48 && u <= 57) || (u >= 65 && u <= 90) || (u >= 97 && u <= 122) || u === 95 ||
      (u >= 0xC0 && u <= 0xFF && u !== 0xD7 && u !== 0xF7);
  }
  // Lower case as the program folds it: ASCII and the Latin-1 capitals.
  function fold(text) {
    var out = '';
    for (var i = 0; i < text.length; ++i) {
      var u = text.charCodeAt(i);
      out += ((u >= 65 && u <= 90) || (u >= 0xC0 && u <= 0xDE && u !== 0xD7)) ? String.fromCharCode(u + 32) : text[i];
    }
    return out;
  }
  function isBlank(ch) { return ch === ' ' || ch === '\t' || ch === '\r' || ch === '\n' || ch === '\f' || ch === '\v'; }
  function escapeRegex(ch) { return '\\u' + ('000' + ch.charCodeAt(0).toString(16)).slice(-4); }

  function QueryError(message, column) { this.message = message; this.column = column; }

  // Compiles a query as the program's query bar does: terms, "phrases",
  // /regular expressions/, field:term, AND, OR, NOT and parentheses.
  function parseQuery(text) {
    var pos = 0, depth = 0;
    var terms = [];
    function fail(message, at) { throw new QueryError(message, at + 1); }
    function skipBlanks() { while (pos < text.length && isBlank(text[pos])) ++pos; }
    function peekWord() {
      var p = pos;
      while (p < text.length) {
        var c = text[p];
        if (isBlank(c) || c === '(' || c === ')' || c === '"') break;
        if (c === '\\' && p + 1 < text.length) ++p;
        ++p;
      }
      return text.slice(pos, p);
    }
    function atKeyword(word) { skipBlanks(); return fold(peekWord()) === word; }
    function deeper(at) { if (++depth > 200) fail('parentheses and NOTs nested too deeply', at); }
    function needsTerm(at, what) {
      skipBlanks();
      if (pos >= text.length || text[pos] === ')' || atKeyword('or') || atKeyword('and')) fail(what + ' needs a term after it', at);
    }
    function parseOr(context) {
      var left = parseAnd(context);
      while (atKeyword('or')) {
        var at = pos; pos += 2;
        needsTerm(at, 'OR');
        left = { op: 'or', a: left, b: parseAnd(context) };
      }
      return left;
    }
    function parseAnd(context) {
      var left = parseUnary(context);
      for (;;) {
        skipBlanks();
        if (pos >= text.length || text[pos] === ')' || atKeyword('or')) break;
        if (atKeyword('and')) { var at = pos; pos += 3; needsTerm(at, 'AND'); }
        left = { op: 'and', a: left, b: parseUnary(context) };
      }
      return left;
    }
    function parseUnary(context) {
      skipBlanks();
      if (atKeyword('not')) {
        var at = pos; pos += 3;
        needsTerm(at, 'NOT');
        deeper(at);
        var operand = parseUnary(context);
        --depth;
        return { op: 'not', a: operand };
      }
      if (atKeyword('or') || atKeyword('and')) fail((atKeyword('or') ? 'OR' : 'AND') + ' needs a term before it', pos);
      return parsePrimary(context);
    }
    function parseGroup(context) {
      var open = pos;
      deeper(open);
      ++pos;
      skipBlanks();
      if (pos < text.length && text[pos] === ')') fail('empty parentheses', open);
      if (pos >= text.length) fail("missing ')' for this '('", open);
      var inner = parseOr(context);
      skipBlanks();
      if (pos >= text.length) fail("missing ')' for this '('", open);
      ++pos;
      --depth;
      return inner;
    }
    function parsePrimary(context) {
      skipBlanks();
      if (pos >= text.length) fail('a term is missing', pos);
      if (text[pos] === ')') fail("unexpected ')'", pos);
      if (text[pos] === '(') return parseGroup(context);
      var p = pos;
      while (p < text.length && /[A-Za-z]/.test(text[p])) ++p;
      if (p > pos && p < text.length && text[p] === ':') {
        var field = text.slice(pos, p), key = fold(field);
        var inner;
        if (key === 'section' || key === 'file') inner = { kind: key, fields: 0 };
        else if (Object.prototype.hasOwnProperty.call(FIELDS, key)) inner = { kind: 'text', fields: FIELDS[key] };
        else fail("unknown field '" + field + "' (fields: name, label, description, category, section, file)", pos);
        var fieldAt = pos;
        pos = p + 1;
        if (pos >= text.length || isBlank(text[pos]) || text[pos] === ')') fail(field + ': needs a term after it', fieldAt);
        if (text[pos] === '(') return parseGroup(inner);
        return parseTerm(inner);
      }
      return parseTerm(context);
    }
    function parseTerm(context) {
      var start = pos;
      if (terms.length === 500) fail('more than 500 terms', start);
      var term = { kind: context.kind, fields: context.fields, number: 0, regex: null, runs: null, decided: false };
      if (text[pos] === '/') {
        readRegex(start, term);
      } else {
        var pieces = text[pos] === '"' ? readPhrase(start) : readWord();
        if (context.kind !== 'text' && text[start] !== '"') {
          var typed = text.slice(start, pos);
          if (/^[0-9]+$/.test(typed)) {
            term.number = parseInt(typed, 10);
            if (term.number === 0) fail((context.kind === 'section' ? 'sections' : 'data files') + ' are numbered from 1', start);
          }
        }
        if (!term.number) wordTerm(pieces, term);
      }
      terms.push(term);
      return { op: 'term', term: term };
    }
    function readRegex(start, term) {
      var body = '', p = pos + 1, closed = false;
      for (; p < text.length; ++p) {
        if (text[p] === '\\' && p + 1 < text.length && text[p + 1] === '/') { body += '/'; ++p; }
        else if (text[p] === '\\' && p + 1 < text.length) { body += text.slice(p, p + 2); ++p; }
        else if (text[p] === '/') { closed = true; break; }
        else body += text[p];
      }
      if (!closed) fail("missing '/' at the end of this regular expression", start);
      if (!body) fail('empty regular expression', start);
      pos = p + 1;
      try { term.regex = new RegExp(body, 'i'); }
      catch (e) { fail('invalid regular expression: ' + e.message.replace(/^Invalid regular expression: /, ''), start); }
      term.isRegex = true;
    }
    function readPhrase(start) {
      var pieces = [], p = pos + 1, closed = false;
      for (; p < text.length; ++p) {
        var ch = text[p];
        if (ch === '\\' && p + 1 < text.length) pieces.push({ k: 'c', c: text[++p] });
        else if (ch === '"') { closed = true; break; }
        else if (isBlank(ch)) { if (pieces.length && pieces[pieces.length - 1].k !== ' ') pieces.push({ k: ' ' }); }
        else pieces.push(pieceOf(ch));
      }
      if (!closed) fail('missing \'"\' at the end of this phrase', start);
      while (pieces.length && pieces[pieces.length - 1].k === ' ') pieces.pop();
      if (!pieces.length) fail('empty phrase', start);
      pos = p + 1;
      return pieces;
    }
    function readWord() {
      var word = peekWord(), pieces = [];
      for (var i = 0; i < word.length; ++i) {
        if (word[i] === '\\' && i + 1 < word.length) pieces.push({ k: 'c', c: word[++i] });
        else pieces.push(pieceOf(word[i]));
      }
      pos += word.length;
      return pieces;
    }
    function pieceOf(ch) { return ch === '*' ? { k: '*' } : ch === '?' ? { k: '?' } : { k: 'c', c: ch }; }

    skipBlanks();
    if (pos >= text.length) return null;
    var root = parseOr({ kind: 'text', fields: ALL_FIELDS });
    skipBlanks();
    if (pos < text.length) fail("unexpected ')'", pos);
    return { root: root, terms: terms };
  }

  // The regular expression of a word or phrase, matched as whole words in
  // one line, and the words the index can look up.
  function wordTerm(pieces, term) {
    var word = '[' + WORD_CLASS + ']', nonWord = '[^' + WORD_CLASS + '\\n]';
    function isWordPiece(p) { return p.k === '*' || p.k === '?' || (p.k === 'c' && isWordChar(p.c)); }
    var anyPlain = pieces.some(function (p) { return p.k === 'c'; });
    var anyMark = pieces.some(function (p) { return p.k === '?'; });
    var body = '';
    if (!anyPlain && !anyMark) body = word + '+';
    else pieces.forEach(function (p) {
      if (p.k === 'c') body += isWordChar(p.c) ? p.c : escapeRegex(p.c);
      else if (p.k === '*') body += word + '*';
      else if (p.k === '?') body += word;
      else body += '[ \\t\\r\\f\\v]+';
    });
    var pattern = (isWordPiece(pieces[0]) ? '(?:^|' + nonWord + ')' : '') + body +
      (isWordPiece(pieces[pieces.length - 1]) ? '(?:$|' + nonWord + ')' : '');
    term.regex = new RegExp(pattern, 'i');
    // The runs of word pieces: whole words of the text, each looked up in
    // the index (a run with * or ? through the words it matches).
    var runs = [], run = [];
    function endRun() {
      if (!run.length) return;
      var exact = run.every(function (p) { return p.k === 'c'; });
      if (exact) runs.push({ exact: fold(run.map(function (p) { return p.c; }).join('')) });
      else {
        var prefix = '', i = 0;
        for (; i < run.length && run[i].k === 'c'; ++i) prefix += run[i].c;
        var source = run.map(function (p) { return p.k === 'c' ? p.c : p.k === '*' ? word + '*' : word; }).join('');
        runs.push({ prefix: fold(prefix), pattern: new RegExp('^' + source + '$', 'i') });
      }
      run = [];
    }
    pieces.forEach(function (p) { if (isWordPiece(p)) run.push(p); else endRun(); });
    endRun();
    term.runs = runs;
    // One run and nothing else: the index alone decides.
    term.decided = runs.length === 1 && pieces.every(isWordPiece);
  }

  /* ---------- the index ---------- */

  function shardRange(keys, from, to) {
    function lastAtMost(text) {
      var lo = 0, hi = keys.length - 1;
      while (lo < hi) {
        var mid = (lo + hi + 1) >>> 1;
        if (keys[mid] <= text) lo = mid; else hi = mid - 1;
      }
      return lo;
    }
    var first = lastAtMost(from), last = lastAtMost(to), out = [];
    for (var k = first; k <= last; ++k) out.push(k);
    return out;
  }

  // The variables where a run's words stand in `fields`.
  function runPositions(run, fields, progress) {
    return load('one', 'keys').then(function (keys) {
      var bits = new Bits(site.variables);
      var from = run.exact !== undefined ? run.exact : run.prefix;
      var to = run.exact !== undefined ? run.exact : run.prefix + '\uffff';
      var shards = shardRange(keys, from, to);
      return loadEach('shard', shards, function (k, words) {
        if (progress) progress(shards.length);
        if (run.exact !== undefined) {
          var text = words.get(run.exact);
          if (text) addPositions(bits, text, fields);
          return;
        }
        words.forEach(function (text, word) {
          if (word.lastIndexOf(run.prefix, 0) === 0 && run.pattern.test(word)) addPositions(bits, text, fields);
        });
      }).then(function () { return bits; });
    });
  }

  function loadAllOutline() {
    var ks = [];
    for (var k = 0; k * outlineSize < site.sections; ++k) ks.push(k);
    var sections = new Array(site.sections);
    return loadEach('outline', ks, function (k, rows) {
      for (var i = 0; i < rows.length; ++i) sections[k * outlineSize + i] = rows[i];
    }).then(function () { return sections; });
  }

  // A term's variables: {lo, hi}, those that surely match and those that
  // may (a phrase or regular expression is checked against the texts later).
  function termSets(term, progress) {
    var n = site.variables;
    if (term.kind === 'section') {
      return loadAllOutline().then(function (sections) {
        var bits = new Bits(n);
        sections.forEach(function (s, i) {
          if (term.number ? term.number === i + 1 : term.regex.test(s[0])) bits.setRange(s[1], s[2]);
        });
        return { lo: bits, hi: bits };
      });
    }
    if (term.kind === 'file') {
      return load('one', 'files').then(function (lists) {
        var bits = new Bits(n);
        lists.forEach(function (entry) {
          var file = site.files[entry[0] - 1];
          var name = file ? file[2] : '';
          if (term.number ? term.number === entry[0] : term.regex.test(name)) addPositions(bits, entry[1], 1);
        });
        return { lo: bits, hi: bits };
      });
    }
    if (term.isRegex || !term.runs.length) return Promise.resolve({ lo: new Bits(n), hi: new Bits(n).fill() });
    return Promise.all(term.runs.map(function (run) { return runPositions(run, term.fields, progress); }))
      .then(function (sets) {
        var hi = sets[0];
        for (var i = 1; i < sets.length; ++i) hi.and(sets[i]);
        return { lo: term.decided ? hi : new Bits(n), hi: hi };
      });
  }

  function bounds(node) {
    if (node.op === 'term') return { lo: node.term.sets.lo, hi: node.term.sets.hi };
    var a = bounds(node.a);
    if (node.op === 'not') return { lo: a.hi.copy().not(), hi: a.lo.copy().not() };
    var b = bounds(node.b);
    if (node.op === 'and') return { lo: a.lo.copy().and(b.lo), hi: a.hi.copy().and(b.hi) };
    return { lo: a.lo.copy().or(b.lo), hi: a.hi.copy().or(b.hi) };
  }

  // The lines of a field of one variable's entry, as the query language
  // sees them (category lines with their fields separated by a tab).
  function entryLines(entry, chunk, field) {
    if (field === 1) return [entry[1]];
    if (field === 2) return [entry[2]];
    if (field === 4) {
      var d = entry[8];
      if (typeof d === 'number') d = chunk[d][8];
      return d ? d.split('\n') : [];
    }
    return entry[9].map(function (c) { return c[0] + '\t' + c[1] + '\t' + c[2] + '\t' + c[3]; });
  }
  function termMatches(term, entry, chunk, position) {
    if (term.kind !== 'text' || term.decided) return term.sets.lo.has(position);
    if (!term.sets.hi.has(position)) return false;
    for (var f = 1; f <= 8; f <<= 1) {
      if (!(term.fields & f)) continue;
      var lines = entryLines(entry, chunk, f);
      for (var i = 0; i < lines.length; ++i) if (term.regex.test(lines[i])) return true;
    }
    return false;
  }
  function nodeMatches(node, entry, chunk, position) {
    if (node.op === 'term') return termMatches(node.term, entry, chunk, position);
    if (node.op === 'not') return !nodeMatches(node.a, entry, chunk, position);
    if (node.op === 'and') return nodeMatches(node.a, entry, chunk, position) && nodeMatches(node.b, entry, chunk, position);
    return nodeMatches(node.a, entry, chunk, position) || nodeMatches(node.b, entry, chunk, position);
  }

  /* ---------- the page ---------- */

  var view, status, input, queryError, sectionsList, outlineMore;
  var current = { query: '', page: 1, entries: false, size: 1000 };
  var search = null;       // the running or last search: {query, compiled, lo, hi, done, generation}
  var generation = 0;

  function el(tag, attributes, children) {
    var node = document.createElement(tag);
    if (attributes) Object.keys(attributes).forEach(function (key) {
      var value = attributes[key];
      if (value === undefined || value === null || value === false) return;
      if (key === 'text') node.textContent = value;
      else if (key === 'className') node.className = value;
      else if (key === 'onclick') node.addEventListener('click', value);
      else node.setAttribute(key, value === true ? '' : value);
    });
    (children || []).forEach(function (child) {
      if (child === null || child === undefined) return;
      node.appendChild(typeof child === 'string' ? document.createTextNode(child) : child);
    });
    return node;
  }
  function number(n) { return n.toLocaleString('en-US'); }
  function plural(n, one, many) { return number(n) + ' ' + (n === 1 ? one : many); }

  function address(state, hash) {
    var params = [];
    if (state.query) params.push('q=' + encodeURIComponent(state.query).replace(/%20/g, '+'));
    if (state.page > 1) params.push('p=' + state.page);
    if (state.entries) params.push('view=entries');
    if (state.size !== 1000) params.push('size=' + state.size);
    return (params.length ? '?' + params.join('&') : location.pathname.split('/').pop() || 'index.html') + (hash || '');
  }
  function readAddress() {
    var params = new URLSearchParams(location.search);
    var size = parseInt(params.get('size') || '1000', 10);
    return {
      query: params.get('q') || '',
      page: Math.max(1, parseInt(params.get('p') || '1', 10) || 1),
      entries: params.get('view') === 'entries',
      size: [50, 100, 250, 500, 1000, 5000].indexOf(size) >= 0 ? size : 1000
    };
  }
  function keepAddress(state, push) {
    try {
      var url = address(state, location.hash);
      if (push) history.pushState(null, '', url); else history.replaceState(null, '', url);
    } catch (e) { /* a browser that keeps no history for local files */ }
  }
  function variableHash(name) { return '#v=' + encodeURIComponent(name); }

  function setStatus(text) { status.textContent = text; }
  function showProblem(error) {
    view.replaceChildren(el('p', { className: 'problem', role: 'alert', text: error.message || String(error) }));
  }

  // The variables of positions, from the list files: [position, row].
  function listRows(positions) {
    var ks = [];
    positions.forEach(function (p) { var k = Math.floor(p / listSize); if (ks[ks.length - 1] !== k) ks.push(k); });
    var chunks = {};
    return loadEach('list', ks, function (k, rows) { chunks[k] = rows; }).then(function () {
      return positions.map(function (p) { return [p, chunks[Math.floor(p / listSize)][p % listSize]]; });
    });
  }
  function entriesOf(positions) {
    var ks = [];
    positions.forEach(function (p) { var k = Math.floor(p / varSize); if (ks[ks.length - 1] !== k) ks.push(k); });
    var chunks = {};
    return loadEach('vars', ks, function (k, entries) { chunks[k] = entries; }).then(function () {
      return positions.map(function (p) { var c = chunks[Math.floor(p / varSize)]; return [p, c[p % varSize], c]; });
    });
  }

  function typeText(code) {
    if (code === ' ') return 'categorical';
    if (code === 'A') return 'alphanumeric';
    if (code === '0') return 'numeric';
    if (code >= '1' && code <= '9') return 'numeric, ' + code + ' implied decimal' + (code === '1' ? '' : 's');
    return 'type ' + code;
  }

  function pager(total, state) {
    var pages = Math.max(1, Math.ceil(total / state.size));
    var nav = el('nav', { className: 'pager', 'aria-label': 'Pages of variables' });
    function go(page) {
      return function (event) {
        event.preventDefault();
        current.page = page;
        keepAddress(current, true);
        render();
      };
    }
    function link(text, page, label) {
      var s = Object.assign({}, state, { page: page });
      return el('a', { href: address(s), onclick: go(page), 'aria-label': label, text: text });
    }
    if (state.page > 1) nav.appendChild(link('\u2190 Previous', state.page - 1, 'Previous page'));
    nav.appendChild(el('span', { text: ' Page ' + number(Math.min(state.page, pages)) + ' of ' + number(pages) + ' ' }));
    if (state.page < pages) nav.appendChild(link('Next \u2192', state.page + 1, 'Next page'));
    var sizeId = 'page-size-' + Math.random().toString(36).slice(2);
    var select = el('select', { id: sizeId }, [50, 100, 250, 500, 1000, 5000].map(function (n) {
      return el('option', { value: String(n), selected: n === state.size, text: number(n) });
    }));
    select.addEventListener('change', function () {
      current.size = parseInt(select.value, 10);
      current.page = 1;
      keepAddress(current, true);
      render();
    });
    var entries = el('input', { type: 'checkbox', id: sizeId + '-entries', checked: state.entries });
    entries.addEventListener('change', function () {
      current.entries = entries.checked;
      keepAddress(current, true);
      render();
    });
    nav.appendChild(el('span', { className: 'controls' }, [
      el('label', { 'for': sizeId, text: 'Per page ' }), select, ' ',
      entries, el('label', { 'for': sizeId + '-entries', text: ' Whole entries' })
    ]));
    return nav;
  }

  function locationText(row) {
    var file = site.files[row[3] - 1];
    return (file ? file[0] : 'file ' + row[3]) + ', line ' + row[4] + ', ' + row[6];
  }

  function listTable(rows, caption) {
    var body = el('tbody');
    var lastSection = -1;
    rows.forEach(function (item) {
      var row = item[1];
      if (row[2] !== lastSection) {
        lastSection = row[2];
        var title = sectionTitles[row[2]];
        body.appendChild(el('tr', { className: 'section' }, [
          el('th', { colspan: '4', scope: 'colgroup' }, [
            el('a', { href: address({ query: 'section:' + row[2], page: 1, entries: false, size: current.size }),
              'data-section': String(row[2]), text: 'Section ' + row[2] + (title !== undefined ? ': ' + title : '') })
          ])
        ]));
      }
      body.appendChild(el('tr', null, [
        el('th', { scope: 'row' }, [el('a', { href: variableHash(row[0]), text: row[0] })]),
        el('td', { text: row[1] }),
        el('td', { text: typeText(row[5]) }),
        el('td', { text: locationText(row) })
      ]));
    });
    return el('table', { className: 'variables' }, [
      el('caption', { className: 'visually-hidden', text: caption }),
      el('thead', null, [el('tr', null, ['Name', 'Label', 'Type', 'Location'].map(function (h) {
        return el('th', { scope: 'col', text: h });
      }))]),
      body
    ]);
  }


  function frequencyTable(entry) {
    var cats = entry[9];
    if (!cats.length) return el('p', { className: 'none', text: 'No category lines.' });
    var total = 0;
    cats.forEach(function (c) { var f = parseFloat(c[1]); if (isFinite(f)) total += f; });
    var body = el('tbody', null, cats.map(function (c) {
      var percent = parseFloat(c[2]);
      if (!isFinite(percent)) { var f = parseFloat(c[1]); percent = total > 0 && isFinite(f) ? 100 * f / total : 0; }
      var bar = el('span', { className: 'bar' });
      bar.style.width = Math.max(0, Math.min(100, percent)) + '%';
      return el('tr', { className: c[4] ? 'missing' : null }, [
        el('td', { className: 'code', text: c[0] }),
        el('td', null, [c[3], c[4] ? el('span', { className: 'tag', text: ' (missing)' }) : null]),
        el('td', { className: 'num', text: c[1] }),
        el('td', { className: 'num', text: c[2] }),
        el('td', { className: 'share', 'aria-hidden': 'true' }, [bar])
      ]);
    }));
    return el('table', { className: 'frequencies' }, [
      el('caption', { text: 'Frequencies of ' + entry[1] }),
      el('thead', null, [el('tr', null, [
        el('th', { scope: 'col', text: 'Code' }), el('th', { scope: 'col', text: 'Label' }),
        el('th', { scope: 'col', className: 'num', text: 'Frequency' }), el('th', { scope: 'col', className: 'num', text: 'Percent' }),
        el('th', { scope: 'col', className: 'share' }, [el('span', { className: 'visually-hidden', text: 'Bar' })])
      ])]),
      body
    ]);
  }

  function article(item, headingLevel) {
    var position = item[0], entry = item[1], chunk = item[2];
    var more = entry[10] || {};
    var file = site.files[entry[4] - 1];
    var description = entry[8];
    if (typeof description === 'number') description = chunk[description][8];
    var missing = entry[9].filter(function (c) { return c[4]; }).map(function (c) { return c[0] + (c[3] ? ' ' + c[3] : ''); });
    if (more.missing) missing = more.missing;
    var width = 0, columns = /^\s*(-?\d+)\s*(?:-\s*(-?\d+))?\s*$/.exec(entry[6]);
    if (columns) width = columns[2] !== undefined ? parseInt(columns[2], 10) - parseInt(columns[1], 10) + 1 : 1;
    var facts = [
      ['Number', 'variable ' + number(entry[0]) + ' of the project'],
      more.long ? ['Long name', more.long] : null,
      more.label ? ['Whole label', more.label] : null,
      ['Section', el('a', { href: address({ query: 'section:' + entry[3], page: 1, entries: false, size: current.size }),
        'data-section': String(entry[3]), text: entry[3] + (sectionTitles[entry[3]] !== undefined ? ': ' + sectionTitles[entry[3]] : '') })],
      ['Data file', file ? file[0] + ' (' + plural(file[1], 'line', 'lines') + ' per case)' : 'file ' + entry[4]],
      ['Location', 'line ' + entry[5] + ', column' + (width > 1 ? 's ' : ' ') + entry[6] + (width > 0 ? ' (width ' + width + ')' : '')],
      ['Type', typeText(entry[7])],
      more.format ? ['Format', more.format] : null,
      ['Missing values', missing.length ? missing.join('; ') : 'none']
    ].filter(Boolean);
    var id = 'v=' + entry[1];
    var heading = el('h' + headingLevel, { id: 'h-' + position }, [
      el('span', { className: 'name', text: entry[1] }), ' ', el('span', { className: 'label', text: entry[2] })
    ]);
    return el('article', { className: 'variable', id: id, 'aria-labelledby': 'h-' + position }, [
      heading,
      el('dl', { className: 'facts' }, facts.reduce(function (list, fact) {
        list.push(el('dt', { text: fact[0] }));
        list.push(typeof fact[1] === 'string' ? el('dd', { text: fact[1] }) : el('dd', null, [fact[1]]));
        return list;
      }, [])),
      el('h' + (headingLevel + 1), { text: 'Description' }),
      description ? el('div', { className: 'description', text: description }) : el('p', { className: 'none', text: 'No description.' }),
      el('h' + (headingLevel + 1), { text: 'Frequencies' }),
      frequencyTable(entry)
    ]);
  }

  /* ---------- views ---------- */

  var renderCount = 0;

  function listHeading() {
    if (!current.query) return 'All variables';
    return 'Variables matching \u201c' + current.query + '\u201d';
  }

  // The list (or whole entries) of the current page of `bits`.
  function renderPage(bits, total, done, ticket) {
    var state = Object.assign({}, current);
    var pages = Math.max(1, Math.ceil(total / state.size));
    if (state.page > pages && done) state.page = pages;
    var positions = bits.slice((state.page - 1) * state.size, state.size);
    var loading = state.entries ? entriesOf(positions) : listRows(positions);
    return loading.then(function (items) {
      if (ticket !== renderCount) return;
      var heading = el('h2', { id: 'view-title', tabindex: '-1', text: listHeading() });
      var first = (state.page - 1) * state.size + 1;
      var summary = total === 0 ? (done ? 'No variable matches.' : 'No match found so far.')
        : 'Variables ' + number(first) + '\u2013' + number(first + items.length - 1) + ' of ' + number(total) +
          (done ? '' : ' found so far');
      var parts = [heading, el('p', { className: 'count', text: summary }), pager(total, state)];
      if (state.entries) {
        items.forEach(function (item) { parts.push(article(item, 3)); });
      } else if (items.length) {
        parts.push(listTable(items, listHeading()));
      }
      if (items.length > 20) parts.push(pager(total, state));
      view.replaceChildren.apply(view, parts);
      view.setAttribute('data-shown', String(items.length));
      markOutline();
    });
  }

  function allBits() { return new Bits(site.variables).fill(); }

  // Runs the query of `current` (once per text) and shows its page.
  function runSearch() {
    var query = current.query.trim() ? current.query : '';
    queryError.textContent = '';
    input.removeAttribute('aria-invalid');
    if (search && search.query === query) return showSearch(search);
    var compiled;
    try { compiled = query ? parseQuery(query) : null; }
    catch (e) {
      if (!(e instanceof QueryError)) throw e;
      queryError.textContent = e.message + ' at column ' + e.column;
      input.setAttribute('aria-invalid', 'true');
      return Promise.resolve();
    }
    var mine = ++generation;
    var begun = performance.now();
    var s = { query: query, compiled: compiled, done: false, generation: mine, checked: 0, toCheck: 0 };
    search = s;
    if (!compiled) {
      s.result = allBits();
      s.done = true;
      return showSearch(s);
    }
    setStatus('Searching\u2026');
    return Promise.all(compiled.terms.map(function (term) {
      return termSets(term).then(function (sets) { term.sets = sets; });
    })).then(function () {
      if (s.generation !== generation) return;
      var b = bounds(compiled.root);
      s.result = b.lo.copy();
      var open = b.hi.copy().andNot(b.lo);
      s.toCheck = open.count();
      if (!s.toCheck) {
        s.done = true;
        s.ms = performance.now() - begun;
        return showSearch(s);
      }
      // The phrases and regular expressions, checked against the texts of
      // the variables that may match, file by file.
      showSearch(s);
      var ks = [], last = -1;
      open.slice(0, open.n).forEach(function (p) {
        var k = Math.floor(p / varSize);
        if (k !== last) { ks.push(k); last = k; }
      });
      var lastShown = performance.now();
      return loadEach('vars', ks, function (k, entries) {
        if (s.generation !== generation) return;
        for (var i = 0; i < entries.length; ++i) {
          var p = k * varSize + i;
          if (!open.has(p)) continue;
          if (nodeMatches(compiled.root, entries[i], entries, p)) s.result.set(p);
          ++s.checked;
        }
        if (performance.now() - lastShown > 400) {
          lastShown = performance.now();
          showSearch(s);
        }
      }, function () { return s.generation === generation; }).then(function () {
        if (s.generation !== generation) return;
        s.done = true;
        s.ms = performance.now() - begun;
        return showSearch(s);
      });
    }).catch(function (error) {
      if (s.generation === generation) showProblem(error);
    });
  }

  function showSearch(s) {
    if (location.hash.lastIndexOf('#v=', 0) === 0) return Promise.resolve();
    var total = s.result.count();
    if (s.done) {
      setStatus(s.query ? plural(total, 'variable matches', 'variables match') : '');
      if (s.ms !== undefined) document.getElementById('main').setAttribute('data-search-ms', s.ms.toFixed(1));
    } else {
      setStatus('Checking ' + Math.round(100 * s.checked / Math.max(1, s.toCheck)) + '% of the variables that may match\u2026');
    }
    var ticket = ++renderCount;
    return renderPage(s.result, total, s.done, ticket).catch(showProblem);
  }

  // The place of a variable by its name, through the index of names.
  function findVariable(name) {
    var words = fold(name).split(new RegExp('[^' + WORD_CLASS + ']+')).filter(Boolean);
    if (!words.length) return Promise.resolve(-1);
    return Promise.all(words.map(function (w) { return runPositions({ exact: w }, 1); })).then(function (sets) {
      var bits = sets[0];
      for (var i = 1; i < sets.length; ++i) bits.and(sets[i]);
      var candidates = bits.slice(0, 50);
      return listRows(candidates).then(function (rows) {
        for (var i = 0; i < rows.length; ++i) if (fold(rows[i][1][0]) === fold(name)) return rows[i][0];
        return -1;
      });
    });
  }

  function renderVariable(name) {
    var ticket = ++renderCount;
    return findVariable(name).then(function (position) {
      if (ticket !== renderCount) return;
      if (position < 0) {
        view.replaceChildren(el('h2', { tabindex: '-1', text: 'No variable ' + name }),
          el('p', null, [el('a', { href: '#', text: 'Back to the list' })]));
        return;
      }
      return Promise.all([entriesOf([position]), listRows([position])]).then(function (both) {
        if (ticket !== renderCount) return;
        var around = [];
        if (position > 0) around.push(position - 1);
        if (position + 1 < site.variables) around.push(position + 1);
        return listRows(around).then(function (neighbours) {
          if (ticket !== renderCount) return;
          var links = [el('a', { href: '#', className: 'back', text: '\u2190 Back to the list' })];
          neighbours.forEach(function (n) {
            var before = n[0] < position;
            links.push(' \u00b7 ');
            links.push(el('a', { href: variableHash(n[1][0]), rel: before ? 'prev' : 'next',
              text: (before ? 'Previous: ' : 'Next: ') + n[1][0] }));
          });
          view.replaceChildren(el('nav', { className: 'crumbs', 'aria-label': 'Nearby variables' }, links),
            article(both[0][0], 2));
          setStatus('');
          var heading = view.querySelector('h2');
          if (heading) { heading.setAttribute('tabindex', '-1'); if (renderCount > 1) heading.focus(); }
          document.title = both[0][0][1][1] + ' \u2013 ' + site.title;
        });
      });
    }).catch(showProblem);
  }

  function render() {
    var hash = location.hash;
    if (hash.lastIndexOf('#v=', 0) === 0) {
      var name;
      try { name = decodeURIComponent(hash.slice(3)); } catch (e) { name = hash.slice(3); }
      return renderVariable(name);
    }
    document.title = site.title + ' \u2013 codebook';
    return runSearch();
  }

  /* ---------- the outline ---------- */

  var outlineShown = 0;
  function showMoreSections() {
    var k = outlineShown / outlineSize;
    if (outlineShown >= site.sections) return Promise.resolve();
    return load('outline', k).then(function (rows) {
      rows.forEach(function (s, i) {
        var n = k * outlineSize + i + 1;
        sectionTitles[n] = s[0];
        sectionsList.appendChild(el('li', null, [
          el('a', { href: address({ query: 'section:' + n, page: 1, entries: false, size: current.size }), 'data-section': String(n) }, [
            el('span', { className: 'number', text: n + '. ' }), s[0] || '(untitled)',
            el('span', { className: 'count', text: ' (' + number(s[2]) + ')' })
          ])
        ]));
      });
      outlineShown += rows.length;
      outlineMore.replaceChildren();
      if (outlineShown < site.sections) {
        outlineMore.appendChild(el('button', { type: 'button', onclick: showMoreSections,
          text: 'More sections (' + number(outlineShown) + ' of ' + number(site.sections) + ' shown)' }));
      }
      markOutline();
    });
  }
  function markOutline() {
    var m = /^\s*section:(\d+)\s*$/i.exec(current.query);
    var chosen = m && !location.hash ? m[1] : null;
    Array.prototype.forEach.call(sectionsList.querySelectorAll('a'), function (a) {
      if (a.getAttribute('data-section') === chosen) a.setAttribute('aria-current', 'true');
      else a.removeAttribute('aria-current');
    });
  }

  /* ---------- start ---------- */

  var typingTimer = 0;
  function onType() {
    clearTimeout(typingTimer);
    typingTimer = setTimeout(function () {
      if (current.query === input.value) return;
      current.query = input.value;
      current.page = 1;
      keepAddress(current, false);
      if (location.hash.lastIndexOf('#v=', 0) === 0) {
        try { history.replaceState(null, '', address(current)); } catch (e) { location.hash = ''; }
      }
      render();
    }, 150);
  }

  QAVN.start = function (facts) {
    site = facts;
    listSize = facts.listSize;
    varSize = facts.varSize;
    outlineSize = facts.outlineSize;
    view = document.getElementById('view');
    status = document.getElementById('status');
    input = document.getElementById('q');
    queryError = document.getElementById('query-error');
    sectionsList = document.getElementById('sections');
    outlineMore = document.getElementById('outline-more');

    current = readAddress();
    input.value = current.query;
    input.addEventListener('input', onType);
    document.getElementById('search').addEventListener('submit', function (event) {
      event.preventDefault();
      clearTimeout(typingTimer);
      current.query = input.value;
      current.page = 1;
      try { history.pushState(null, '', address(current)); } catch (e) { /* see keepAddress */ }
      render();
    });
    // A section link or the pager's links change the search in place.
    document.addEventListener('click', function (event) {
      var a = event.target.closest ? event.target.closest('a[data-section]') : null;
      if (!a || event.button !== 0 || event.ctrlKey || event.metaKey || event.shiftKey) return;
      event.preventDefault();
      current = { query: 'section:' + a.getAttribute('data-section'), page: 1, entries: current.entries, size: current.size };
      input.value = current.query;
      try { history.pushState(null, '', address(current)); } catch (e) { /* see keepAddress */ }
      render();
    });
    document.addEventListener('keydown', function (event) {
      if (event.key === '/' && document.activeElement !== input && !/^(INPUT|SELECT|TEXTAREA)$/.test(document.activeElement.tagName)) {
        event.preventDefault();
        input.focus();
      }
    });
    window.addEventListener('hashchange', render);
    window.addEventListener('popstate', function () {
      current = readAddress();
      input.value = current.query;
      render();
    });
    Promise.all([render(), showMoreSections()]).then(function () {
      // Milliseconds from the start of the page's navigation to its first
      // list on screen (the benchmark reads it).
      document.documentElement.setAttribute('data-ready-ms', performance.now().toFixed(1));
      // The index's keys, for the first search.
      return load('one', 'keys');
    }).catch(showProblem);
  };
})();
