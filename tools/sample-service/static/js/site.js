document.addEventListener('DOMContentLoaded', function () {
  var el = document.getElementById('scripted');
  if (el) el.textContent = 'script ran: ' + (1 + 2);
});
