// Shared script of the reference service's pages: the look the player asks for, the song
// lists, the player's links ("selfopt://") and its script bridge (window.external).
var Ordel = (function () {
  function query(name, raw) {
    var m = new RegExp('[?&]' + name + '=([^&#]*)').exec(location.search);
    if (!m) return '';
    if (raw) return m[1];
    try { return decodeURIComponent(m[1].replace(/\+/g, ' ')); } catch (e) { return m[1]; }
  }

  function applyStyle() {
    var style = query('cssStyle');
    var theme = style === 'gold' || style === 'purple' ? style : 'blue';
    document.body.classList.add('theme-' + theme);
    return theme;
  }

  // Links to the service's own pages keep the look.
  function styled(href) {
    var style = query('cssStyle');
    if (!style) return href;
    return href + (href.indexOf('?') < 0 ? '?' : '&') + 'cssStyle=' + style;
  }

  function songs(list, rawValue, done) {
    var url = '/pages/data/songs.json?list=' + list + (rawValue ? '&value=' + rawValue : '');
    fetch(url).then(function (r) { return r.json(); }).then(done).catch(function () { done({ songs: [] }); });
  }

  // The player's link syntax: no braces, carets or bars inside a value; blanks as %20.
  function value(v) {
    return String(v === undefined || v === null || v === '' ? 'null' : v).replace(/[{}^|]/g, '').replace(/ /g, '%20');
  }
  function fields(song, ctx) {
    ctx = ctx || {};
    return 'song|' + value(song.title) + '^artist|' + value(song.artist) + '^album|' + value(song.album) +
      '^url|' + value(song.url) + '^id|' + value(song.id) + '^star|' + value(song.star) +
      '^method|' + value(ctx.method) + '^keyword|' + value(ctx.keyword) + '^pageno|' + value(ctx.pageno || 1) +
      '^order|' + value(ctx.order) + '^pagesize|' + value(ctx.pagesize) + '^total|' + value(ctx.total);
  }
  function link(action, list, ctx) {
    var out = 'selfopt://';
    list.forEach(function (song, i) {
      var c = Object.assign({}, ctx || {}, { order: (ctx && ctx.start || 0) + i + 1 });
      out += '{' + action + '^' + fields(song, c) + '}';
    });
    return out;
  }

  // The bridge, when the page runs inside the player.
  function ext() {
    return window.external && typeof window.external.MPlay === 'function' ? window.external : null;
  }

  // The player's shown list through the bridge: GetItem's text
  // {'name':'..','singer':'..','album':'..','GID':'..'} (no apostrophes inside) as objects.
  function shownItems(x) {
    var items = [];
    var count = x ? x.GetItemCount(0) : 0;
    for (var i = 0; i < count; ++i) {
      var item = {};
      String(x.GetItem(i) || '').replace(/'(\w+)':'([^']*)'/g, function (all, key, value) { item[key] = value; return all; });
      items.push(item);
    }
    return items;
  }

  function esc(s) {
    return String(s === undefined || s === null ? '' : s).replace(/[&<>"']/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
    });
  }
  function stars(n) {
    var s = '';
    for (var i = 0; i < 5; ++i) s += i < n ? '★' : '☆';
    return s;
  }

  // A colour of the song's own, under its cover picture (or in its place when it has none).
  // Neighbouring ids ("1001", "1002") must land far apart on the colour wheel.
  function hue(song) {
    var h = 2166136261, id = String(song.album || song.id || song.title || '');
    for (var i = 0; i < id.length; ++i) h = Math.imul(h ^ id.charCodeAt(i), 16777619) >>> 0;
    return (h % 360 + Math.round(h / 360) * 137) % 360;
  }

  function cover(song) {
    var initial = esc((song.title || '?').charAt(0));
    var h = hue(song);
    var bg = 'background:linear-gradient(135deg,hsl(' + h + ',55%,58%),hsl(' + ((h + 40) % 360) + ',60%,38%))';
    var img = song.cover ? '<img src="' + esc(song.cover) + '" alt="">' : '';
    var label = song.cover ? '' : '<div class="initial">' + initial + '</div>';
    return '<div class="cover" style="' + bg + '">' + img + '<div class="shade"></div>' + label +
      '<a class="play" href="' + esc(link('play', [song], { method: 'card' })) + '" title="播放"></a></div>';
  }

  function cards(el, list, ctx) {
    el.innerHTML = list.map(function (song, i) {
      var c = Object.assign({}, ctx, { start: i, total: list.length });
      return '<div class="card" data-id="' + esc(song.id) + '">' + cover(song) +
        '<div class="meta"><div class="title" title="' + esc(song.title) + '">' + esc(song.title) + '</div>' +
        '<div class="artist">' + esc(song.artist) + ' · ' + esc(song.album) + '</div>' +
        '<div class="actions"><a class="btn solid" href="' + esc(link('play', [song], c)) + '">播放</a>' +
        '<a class="btn" href="' + esc(link('add', [song], c)) + '">添加</a></div></div></div>';
    }).join('');
    el.querySelectorAll('.card').forEach(function (card) {
      card.addEventListener('click', function () {
        var x = ext();
        if (x) x.RecommendLog((ctx && ctx.method || 'card') + '\t' + card.getAttribute('data-id'));
      });
    });
  }

  // Rows whose buttons call MPlay directly (play at once, or add).
  function rows(el, list, ctx) {
    if (!list.length) {
      el.innerHTML = '<div class="empty">没有找到相关的歌曲</div>';
      return;
    }
    var html = '<table class="songs"><tr><th></th><th>歌曲</th><th>歌手</th><th>专辑</th><th>评分</th><th></th></tr>';
    list.forEach(function (song, i) {
      html += '<tr><td class="no">' + (i + 1) + '</td><td>' +
        (song.cover ? '<img class="thumb" src="' + esc(song.cover) + '" alt="">' : '') + esc(song.title) + '</td><td>' +
        esc(song.artist) + '</td><td>' + esc(song.album) + '</td><td class="stars">' + stars(song.star) + '</td>' +
        '<td class="ops"><span class="btn solid" data-i="' + i + '" data-a="play">试听</span> ' +
        '<span class="btn" data-i="' + i + '" data-a="add">添加</span></td></tr>';
    });
    el.innerHTML = html + '</table>';
    el.querySelectorAll('[data-a]').forEach(function (b) {
      b.addEventListener('click', function () {
        var song = list[+b.getAttribute('data-i')];
        var c = Object.assign({}, ctx, { order: +b.getAttribute('data-i') + 1, total: list.length });
        var x = ext();
        if (x) x.MPlay(b.getAttribute('data-a'), fields(song, c), 1, 1);
        else location.href = link(b.getAttribute('data-a'), [song], c);
      });
    });
  }

  return { query: query, applyStyle: applyStyle, styled: styled, songs: songs, fields: fields, link: link,
           ext: ext, shownItems: shownItems, esc: esc, stars: stars, cards: cards, rows: rows };
})();
